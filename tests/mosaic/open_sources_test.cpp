#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "http/program_version.h"
#include "mosaic/search/bluesky_feed.h"
#include "mosaic/search/flickr_feed.h"
#include "mosaic/search/misskey_notes.h"
#include "settings/option_store.h"
#include "tests/support/fake_source_server.h"

namespace {

std::string recorded(const std::string& name) {
    std::ifstream in(std::string(TILVANE_TEST_DATA_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::string kMisskey = "https://misskey.example";
const std::string kFlickrPhotos = "https://live.staticflickr.com/65535/";
const std::string kBskyThumb = "https://cdn.bsky.app/img/feed_thumbnail/plain/";
const std::string kBskyFull = "https://cdn.bsky.app/img/feed_fullsize/plain/";

TEST(MisskeyReply, TakesImagesOfNotesAndOfRenotesWithoutTextWithWhereTheyCameFrom) {
    const std::string reply = recorded("misskey_notes_reply.json");
    const MisskeyPage page = readMisskeyPage(reply, kMisskey, false);
    ASSERT_TRUE(page.readable);
    // The video is passed over, a missing thumbnail falls back to the url, and a renote that
    // quotes with text of its own does not bring the renoted files.
    ASSERT_EQ(namesOf(page.links),
              (std::vector<std::string>{kMisskey + "/files/thumbnail-cat.webp",
                                        "https://other.example/files/bob.jpg",
                                        kMisskey + "/files/thumbnail-night.webp"}));
    EXPECT_EQ(page.links[0].original, kMisskey + "/files/cat.webp");
    EXPECT_EQ(page.links[0].author, "alice");
    EXPECT_EQ(page.links[0].postPage, kMisskey + "/notes/9kx0aaaa01");
    EXPECT_EQ(page.links[0].text, "a cat #cats");
    EXPECT_EQ(page.links[1].author, "bob@other.example");
    EXPECT_EQ(page.links[2].author, "carol");
    EXPECT_EQ(page.links[2].postPage, kMisskey + "/notes/9kx0aaaa00");
    // A cw marks the note, isSensitive the file.
    EXPECT_FALSE(page.links[0].sensitive);
    EXPECT_TRUE(page.links[1].sensitive);
    EXPECT_TRUE(page.links[2].sensitive);
    EXPECT_EQ(page.newestId, "9kx0aaaa04");

    const MisskeyPage originals = readMisskeyPage(reply, kMisskey, true);
    EXPECT_EQ(namesOf(originals.links),
              (std::vector<std::string>{kMisskey + "/files/cat.webp",
                                        "https://other.example/files/bob.jpg",
                                        kMisskey + "/files/night.png"}));
}

TEST(MisskeyReply, OddNotesAndBodiesGiveOnlyWhatIsUsable) {
    for (const char* body : {"", "not json", "{}", R"({"notes":[]})", "[]"}) {
        const MisskeyPage page = readMisskeyPage(body, kMisskey, false);
        EXPECT_TRUE(page.links.empty()) << body;
        EXPECT_EQ(page.readable, std::string(body) == "[]") << body;
    }
    const MisskeyPage page = readMisskeyPage(
        R"([1, null, {"id":"bad id!","files":"none","user":"x"},
            {"id":"b2","cw":7,"user":{"username":5},"files":[
              {"type":"image/jpeg","url":"ftp://h/a.jpg"},
              {"type":"image/jpeg","url":"https://h/sp ace.jpg"},
              {"type":"application/pdf","url":"https://h/a.pdf"},
              {"url":"https://h/notype.jpg"},
              {"type":"image/jpeg","url":"https://h/ok.jpg","thumbnailUrl":7,"isSensitive":"yes"}]},
            {"id":"a1","text":null,"renote":"gone","files":[]}])",
        kMisskey, false);
    ASSERT_EQ(namesOf(page.links), std::vector<std::string>{"https://h/ok.jpg"});
    EXPECT_FALSE(page.links[0].sensitive);
    EXPECT_TRUE(page.links[0].author.empty());
    EXPECT_EQ(page.newestId, "b2");
}

TEST(FlickrFeed, ReadsTheFeedDespiteItsApostropheEscapesAndAsksForLargerSizes) {
    const std::string reply = recorded("flickr_feed_reply.json");
    const std::vector<ImageLink> links = readFlickrFeed(reply, false);
    // Only media.m addresses of the medium size name the other sizes.
    ASSERT_EQ(namesOf(links),
              (std::vector<std::string>{kFlickrPhotos + "53000000001_abcdef1234_z.jpg",
                                        kFlickrPhotos + "53000000002_0123456789_z.jpg"}));
    EXPECT_EQ(links[0].fetchUrl, links[0].name);
    EXPECT_EQ(links[0].original, kFlickrPhotos + "53000000001_abcdef1234_b.jpg");
    EXPECT_EQ(links[0].author, "Tom O'Neill");
    EXPECT_EQ(links[0].text, "Tom's cat");
    EXPECT_EQ(links[0].postPage, "https://www.flickr.com/photos/tom/53000000001/");
    EXPECT_EQ(links[1].author, "99999999@N01");
    EXPECT_FALSE(links[0].sensitive || links[1].sensitive);

    EXPECT_EQ(readFlickrFeed(reply, true)[1].name, kFlickrPhotos + "53000000002_0123456789_b.jpg");

    // An escaped backslash before an apostrophe stays a backslash.
    const auto escaped =
        readFlickrFeed(R"({"items":[{"title":"a\\'b","media":{"m":"https://h/x_m.jpg"}}]})", false);
    ASSERT_EQ(escaped.size(), 1u);
    EXPECT_EQ(escaped[0].text, "a\\'b");
    for (const char* body : {"", "jsonFlickrFeed({\"items\":[]})", "[]", R"({"items":{}})",
                             R"({"items":[{"media":{"m":"https://h/x_m.jpg\'"}}]})"}) {
        EXPECT_TRUE(readFlickrFeed(body, false).empty()) << body;
    }
}

TEST(BlueskyKeyword, NamesAnAccountOrACustomFeed) {
    const std::vector<std::pair<std::string, BlueskyTarget>> cases{
        {"nasa.gov", {"nasa.gov", ""}},
        {" @nasa.gov ", {"nasa.gov", ""}},
        {"https://bsky.app/profile/nasa.gov", {"nasa.gov", ""}},
        {"bsky.app/profile/nasa.gov/post/3kpost0001", {"nasa.gov", ""}},
        {"https://bsky.app/profile/bsky.app/feed/whats-hot?x=1", {"bsky.app", "whats-hot"}},
        {"bsky.app/profile/did:plc:abc123/feed/aaab", {"did:plc:abc123", "aaab"}},
        {"", {}},
        {"two words", {}},
        {"a&b=c", {}},
        {"bsky.app/profile//feed/x", {}},
        {"bsky.app/profile/nasa.gov/feed/", {}},
    };
    for (const auto& [keyword, expected] : cases) {
        const BlueskyTarget target = blueskyTarget(keyword);
        EXPECT_EQ(target.actor, expected.actor) << keyword;
        EXPECT_EQ(target.feed, expected.feed) << keyword;
    }
}

TEST(BlueskyReply, TakesEmbeddedImagesWithAFormatAndMarksLabelledPosts) {
    const std::string reply = recorded("bluesky_feed_reply.json");
    const std::vector<ImageLink> links = readBlueskyFeed(reply, false);
    // The video embed and the image without a fullsize are passed over.
    ASSERT_EQ(namesOf(links),
              (std::vector<std::string>{kBskyThumb + "did:plc:abc123/bafkreiaaa@jpeg",
                                        kBskyThumb + "did:plc:abc123/bafkreibbb@jpeg",
                                        kBskyThumb + "did:plc:xyz789/bafkreiccc@png",
                                        kBskyThumb + "did:plc:abc123/bafkreiddd@jpeg"}));
    EXPECT_EQ(links[1].original, kBskyFull + "did:plc:abc123/bafkreibbb@jpeg");
    EXPECT_EQ(links[0].author, "nasa.gov");
    EXPECT_EQ(links[0].postPage, "https://bsky.app/profile/nasa.gov/post/3kpost0001");
    EXPECT_EQ(links[0].text, "Earth at night");
    // The repost's item shows the reposted post and its author.
    EXPECT_EQ(links[2].postPage, "https://bsky.app/profile/astro.example.com/post/3kpost0002");
    EXPECT_EQ((std::vector<bool>{links[0].sensitive, links[1].sensitive, links[2].sensitive,
                                 links[3].sensitive}),
              (std::vector<bool>{false, false, true, true}));
    EXPECT_EQ(readBlueskyFeed(reply, true)[1].name, kBskyFull + "did:plc:abc123/bafkreibbb@jpeg");
    for (const char* body : {"", "[]", R"({"feed":{}})", R"({"feed":[1,{"post":[]}]})"}) {
        EXPECT_TRUE(readBlueskyFeed(body, false).empty()) << body;
    }
    EXPECT_EQ(readResolvedDid(R"({"did":"did:plc:abc123"})"), "did:plc:abc123");
    EXPECT_FALSE(readResolvedDid(R"({"did":"plc:abc"})"));
    EXPECT_FALSE(readResolvedDid(R"({"did":"did:plc:a/b"})"));
}

class OpenSourceSearch : public ::testing::Test {
  protected:
    void SetUp() override { loadOptions("/nonexistent/tilvane/tva_option.txt", {}); }
    void TearDown() override { clearOptions(); }

    FakeServer server;
    ServiceConfig config;
};

TEST_F(OpenSourceSearch, MisskeyPostsTheTagAndAsksOnlyForNotesNewerThanTheNewestSeen) {
    config.serviceUrl = kMisskey;
    const std::string page999 = R"([{"id":"999","files":[]}])";
    const std::string page1000 = R"([{"id":"1000","files":[]},{"id":"998","files":[]}])";
    server.answers = {{200u, {}, recorded("misskey_notes_reply.json")},
                      {200u, {}, page999},
                      {200u, {}, page1000},
                      {200u, {}, "[]"},
                      {200u, {}, "[]"}};
    MisskeyState state;
    const auto search = [&](const std::string& keyword) {
        server.now += kMisskeyMinInterval;
        return fetchMisskeyLinks(state, server.services(), config, keyword, 20);
    };
    EXPECT_EQ(search("#cats dogs").size(), 3u);
    ASSERT_EQ(server.urls.size(), 1u);
    EXPECT_EQ(server.urls[0], kMisskey + "/api/notes/search-by-tag");
    EXPECT_EQ(server.options[0].userAgent, kProgramUserAgent);
    EXPECT_EQ(server.options[0].jsonBody, R"({"limit":20,"tag":"cats","withFiles":true})");

    // A new tag starts afresh; on it, "1000" is newer than "999".
    search("birds");
    search("birds");
    search("birds");
    EXPECT_EQ(server.options[1].jsonBody, R"({"limit":20,"tag":"birds","withFiles":true})");
    EXPECT_EQ(server.options[2].jsonBody,
              R"({"limit":20,"sinceId":"999","tag":"birds","withFiles":true})");
    EXPECT_EQ(server.options[3].jsonBody,
              R"({"limit":20,"sinceId":"1000","tag":"birds","withFiles":true})");
    // Neither a keyword without a word nor a configuration without a server asks anything.
    EXPECT_TRUE(search("   ").empty());
    config.serviceUrl = kDefaultServiceUrl;
    EXPECT_TRUE(search("birds").empty());
    EXPECT_EQ(server.urls.size(), 4u);
    // A tick sooner than the source's interval asks nothing.
    config.serviceUrl = kMisskey;
    EXPECT_TRUE(fetchMisskeyLinks(state, server.services(), config, "birds", 20).empty());
    EXPECT_EQ(server.urls.size(), 5u);
    EXPECT_TRUE(fetchMisskeyLinks(state, server.services(), config, "birds", 20).empty());
    EXPECT_EQ(server.urls.size(), 5u);
}

TEST_F(OpenSourceSearch, FlickrAsksItsOwnServerUnlessOneIsNamedAndPausesWhenRefused) {
    server.answers = {{200u, {}, recorded("flickr_feed_reply.json")},
                      {429u, {"X-RateLimit-Reset: 2026-12-08T10:10:00Z"}, ""}};
    SourceRequestState state;
    EXPECT_EQ(fetchFlickrLinks(state, server.services(), config, "#black cats").size(), 2u);
    EXPECT_EQ(server.urls[0],
              "https://api.flickr.com/services/feeds/photos_public.gne"
              "?tags=black,cats&tagmode=any&format=json&nojsoncallback=1");
    EXPECT_FALSE(server.options[0].jsonBody);

    config.serviceUrl = "http://127.0.0.1:8080";
    EXPECT_TRUE(fetchFlickrLinks(state, server.services(), config, "a&b").empty());
    EXPECT_EQ(server.urls[1],
              "http://127.0.0.1:8080/services/feeds/photos_public.gne"
              "?tags=a%26b&tagmode=any&format=json&nojsoncallback=1");
    // Paused until the reset: no request.
    EXPECT_TRUE(fetchFlickrLinks(state, server.services(), config, "cats").empty());
    EXPECT_EQ(server.urls.size(), 2u);
}

TEST_F(OpenSourceSearch, BlueskyReadsAnAccountOrResolvesAFeedsAccountOnce) {
    const std::string feed = recorded("bluesky_feed_reply.json");
    server.answers = {{200u, {}, feed},
                      {200u, {}, R"({"did":"did:plc:z72i7hdynmk6r22z27h6tvur"})"},
                      {200u, {}, feed},
                      {200u, {}, feed},
                      {404u, {}, R"({"error":"InvalidRequest"})"}};
    BlueskyState state;
    const auto search = [&](const std::string& keyword) {
        server.now += kBlueskyMinInterval;
        return fetchBlueskyLinks(state, server.services(), config, keyword, 30);
    };
    EXPECT_EQ(search("@nasa.gov").size(), 4u);
    EXPECT_EQ(search("https://bsky.app/profile/bsky.app/feed/whats-hot").size(), 4u);
    EXPECT_EQ(search("bsky.app/profile/bsky.app/feed/whats-hot").size(), 4u);
    EXPECT_TRUE(search("bsky.app/profile/nobody.example/feed/x").empty());
    const std::string xrpc = "https://public.api.bsky.app/xrpc/";
    const std::string getFeed = xrpc +
                                "app.bsky.feed.getFeed?feed=at%3A%2F%2Fdid%3Aplc%3Az72i7hdynmk6r22z"
                                "27h6tvur%2Fapp.bsky.feed.generator%2Fwhats-hot&limit=30";
    EXPECT_EQ(server.urls,
              (std::vector<std::string>{
                  xrpc + "app.bsky.feed.getAuthorFeed?actor=nasa.gov&filter=posts_with_media"
                         "&limit=30",
                  xrpc + "com.atproto.identity.resolveHandle?handle=bsky.app", getFeed, getFeed,
                  xrpc + "com.atproto.identity.resolveHandle?handle=nobody.example"}));
}

}  // namespace
