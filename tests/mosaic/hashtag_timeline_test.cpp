#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "mosaic/search/hashtag_timeline.h"
#include "mosaic/search/search_cycle.h"
#include "mosaic/search/search_state.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/tile_grid.h"
#include "settings/option_store.h"
#include "tests/support/app_state_reset.h"
#include "tests/support/fake_source_server.h"
#include "tilvane_version.h"

namespace {

using namespace std::chrono_literals;

std::string recordedReply() {
    std::ifstream in(std::string(TILVANE_TEST_DATA_DIR) + "/hashtag_timeline_reply.json",
                     std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::string kFiles = "https://files.social.example/media_attachments/files/";
const std::string kRemote = "https://cdn.remote.example/cache/media_attachments/files/";

TEST(TimelineReply, TakesImagesOfPostsAndBoostsWhateverTheirEndingAndPassesOverTheRest) {
    const std::string reply = recordedReply();
    ASSERT_FALSE(reply.empty());

    const TimelinePage previews = readTimelinePage(reply, false);
    EXPECT_TRUE(previews.readable);
    // The PNG is taken like the JPEGs (the decoder tells formats by their bytes); the video
    // and the gifv are passed over; the boost's own picture comes after the boosting post's
    // (none); the sensitive post's is marked for the cycle to pass over.
    ASSERT_EQ(
        namesOf(previews.links),
        (std::vector<std::string>{kFiles + "001/small/aa11.jpeg", kFiles + "002/small/bb22.png",
                                  kRemote + "003/small/CC33.JPG", kFiles + "004/small/dd44.jpg"}));
    EXPECT_EQ(previews.links[0].fetchUrl, previews.links[0].name);
    EXPECT_EQ(previews.links[0].original, kFiles + "001/original/aa11.jpeg");
    EXPECT_EQ(previews.links[1].original, kFiles + "002/original/bb22.png");
    EXPECT_EQ(previews.links[2].original, kRemote + "003/original/CC33.JPG");
    EXPECT_EQ((std::vector<bool>{previews.links[0].sensitive, previews.links[2].sensitive,
                                 previews.links[3].sensitive}),
              (std::vector<bool>{false, false, true}));
    // A boosted picture names the boosted post's author and page, not the booster's.
    EXPECT_EQ(previews.links[0].author, "ann");
    EXPECT_EQ(previews.links[0].postPage, "https://social.example/@ann/113600000000000123");
    EXPECT_EQ(previews.links[2].author, "cy@remote.example");
    EXPECT_EQ(previews.links[2].postPage, "https://remote.example/@cy/113599999999999000");
    // The highest id of the page's own posts, not of the boosted one.
    EXPECT_EQ(previews.newestId, "113600000000000999");

    const TimelinePage originals = readTimelinePage(reply, true);
    EXPECT_EQ(namesOf(originals.links),
              (std::vector<std::string>{
                  kFiles + "001/original/aa11.jpeg", kFiles + "002/original/bb22.png",
                  kRemote + "003/original/CC33.JPG", kFiles + "004/original/dd44.jpg"}));
    EXPECT_EQ(originals.links[0].original, originals.links[0].name);
}

TEST(TimelineReply, MissingOrOddFieldsSkipOnlyWhatTheyConcern) {
    const std::string good =
        R"({"type":"image","url":"https://h/o/g.jpg","preview_url":"https://h/s/g.jpg"})";
    const std::string reply =
        std::string("[") + R"(1, "text", null,)" + R"({"id":7,"media_attachments":"none"},)" +
        R"({"id":"12a","media_attachments":[)" +
        R"({"type":"image","preview_url":"https://h/s/no-url.jpg"},)" +
        R"({"type":"image","url":"https://h/o/no-preview.jpg","preview_url":null},)" +
        R"({"url":"https://h/o/t.jpg","preview_url":"https://h/s/t.jpg"},)" +
        R"({"type":"image","url":"https://h/o/q.jpg?x=1","preview_url":"https://h/s/q.jpg?x=1"},)" +
        R"({"type":"image","url":"ftp://h/o/f.jpg","preview_url":"ftp://h/s/f.jpg"},)" +
        R"({"type":"image","url":"https://h/o/sp ace.jpg","preview_url":"https://h/s/sp ace.jpg"},)" +
        "[], " + good + "]," + R"("reblog":"not a post","sensitive":"yes"},)" +
        R"({"id":"99","sensitive":null,"media_attachments":[)" + good + "]}]";
    const TimelinePage page = readTimelinePage(reply, false);
    EXPECT_TRUE(page.readable);
    // An address with a query is taken: its ending says nothing of the format.
    EXPECT_EQ(namesOf(page.links),
              (std::vector<std::string>{"https://h/s/q.jpg?x=1", "https://h/s/g.jpg",
                                        "https://h/s/g.jpg"}));
    EXPECT_EQ(page.newestId, "99") << "ids that are not decimal texts are ignored";

    const std::string longName = "https://h/" + std::string(250, 'n') + ".jpg";
    const TimelinePage tooLong =
        readTimelinePage(R"([{"media_attachments":[{"type":"image","url":")" + longName +
                             R"(","preview_url":")" + longName + R"("}]}])",
                         false);
    EXPECT_TRUE(tooLong.links.empty()) << "a name a tile cannot hold";
}

TEST(TimelineReply, EachAttachmentsFocalPointIsReadWhenItIsWithinRange) {
    const auto attachment = [](const std::string& meta) {
        return R"({"type":"image","url":"https://h/o/g.jpg","preview_url":"https://h/s/g.jpg")" +
               meta + "}";
    };
    const std::string reply = R"([{"id":"1","media_attachments":[)" +
                              attachment(R"(,"meta":{"focus":{"x":-0.5,"y":0.25}})") + "," +
                              attachment(R"(,"meta":{"focus":{"x":1.5,"y":0}})") + "," +
                              attachment(R"(,"meta":{"focus":{"x":"0.1","y":0}})") + "," +
                              attachment(R"(,"meta":{"focus":{"x":0.1}})") + "," +
                              attachment(R"(,"meta":{"focus":[0,0]})") + "," + attachment("") +
                              "]}]";
    const TimelinePage page = readTimelinePage(reply, false);
    ASSERT_EQ(page.links.size(), 6u);
    EXPECT_EQ(page.links[0].focus, (std::pair<float, float>{-0.5f, 0.25f}));
    for (std::size_t i = 1; i < page.links.size(); ++i) {
        EXPECT_FALSE(page.links[i].focus.has_value()) << i;
    }
}

TEST(TimelineReply, BodiesThatAreNoListOfPostsGiveNothing) {
    for (const std::string& body :
         {std::string(), std::string("<html>Bad gateway</html>"),
          std::string(R"({"error":"This method requires an authenticated user"})"),
          std::string(R"([{"id":"1","media_attachments":[)"), std::string("[]"),
          std::string(200000, '[')}) {
        SCOPED_TRACE(body.substr(0, 40));
        const TimelinePage page = readTimelinePage(body, false);
        EXPECT_TRUE(page.links.empty());
        EXPECT_TRUE(page.newestId.empty());
        EXPECT_EQ(page.readable, body == "[]");
    }
    EXPECT_FALSE(
        readTimelinePage("[" + std::string(kMaxTimelineReplyBytes, ' ') + "]", false).readable);
}

TEST(TimelineRequest, TheFirstWordIsTheTagAndTheOthersAreFurtherTags) {
    EXPECT_EQ(hashtagTimelinePath(timelineTags("#cats"), 20, {}),
              "/api/v1/timelines/tag/cats?limit=20&only_media=true");
    // UTF-8 bytes percent-encoded; the ideographic space separates words too.
    EXPECT_EQ(hashtagTimelinePath(timelineTags("ねこ\xE3\x80\x80#dogs  c&d"), 5, "1234"),
              "/api/v1/timelines/tag/%E3%81%AD%E3%81%93?limit=5&only_media=true"
              "&any[]=dogs&any[]=c%26d&since_id=1234");
    EXPECT_EQ(hashtagTimelinePath(timelineTags("a"), 50, {}),
              "/api/v1/timelines/tag/a?limit=40&only_media=true");
    EXPECT_EQ(hashtagTimelinePath(timelineTags("a"), 0, {}),
              "/api/v1/timelines/tag/a?limit=1&only_media=true");
    EXPECT_EQ(timelineTags("a b c d e f g").additional,
              (std::vector<std::string>{"b", "c", "d", "e"}));
    EXPECT_EQ(hashtagTimelinePath(timelineTags(""), 5, {}), "");
    EXPECT_EQ(hashtagTimelinePath(timelineTags(" ## \t"), 5, {}), "");
}

TEST(TimelineRateLimit, ResetTimesAreReadAsIso8601) {
    const auto at = [](std::string_view text) {
        const auto parsed = parseIsoTime(text);
        return parsed ? std::chrono::duration_cast<std::chrono::milliseconds>(
                            parsed->time_since_epoch())
                            .count()
                      : -1;
    };
    EXPECT_EQ(at("1970-01-01T00:00:00Z"), 0);
    EXPECT_EQ(at("2026-12-08T10:15:30.250Z"), 1796724930250);
    EXPECT_EQ(at("2026-12-08T10:15:30.250123Z"), 1796724930250);
    EXPECT_EQ(at("2026-12-08T19:15:30+09:00"), 1796724930000);
    EXPECT_EQ(at("2026-12-08T05:15:30-0500"), 1796724930000);
    EXPECT_EQ(at("2024-02-29T00:00:00"), 1709164800000);
    for (const char* bad :
         {"", "soon", "2026-12-08", "2026-13-01T00:00:00Z", "2025-02-29T00:00:00Z",
          "2026-12-08T24:00:00Z", "2026-12-08T10:15:30.Z", "2026-12-08T10:15:30+9", "1796724930",
          "9999-12-31T23:59:59Z", "1899-12-31T23:59:59Z"}) {
        EXPECT_FALSE(parseIsoTime(bad).has_value()) << bad;
    }
}

TEST(TimelineRateLimit, TooManyRequestsOrNoneLeftPauseUntilTheReset) {
    const TimelineClock::time_point now = *parseIsoTime("2026-12-08T10:00:00Z");
    const auto reply = [](unsigned status, std::vector<std::string> headers) {
        headers.insert(headers.begin(), "HTTP/1.1 " + std::to_string(status) + " X");
        return FetchReply{status, headers};
    };
    const std::string reset = "X-RateLimit-Reset: 2026-12-08T10:05:00.000Z";
    EXPECT_FALSE(rateLimitPause(reply(200, {"X-RateLimit-Remaining: 299", reset}), now));
    EXPECT_EQ(rateLimitPause(reply(200, {"X-RateLimit-Remaining: 0", reset}), now), now + 5min);
    EXPECT_EQ(rateLimitPause(reply(429, {reset}), now), now + 5min);
    EXPECT_EQ(rateLimitPause(reply(429, {}), now), now + kDefaultRateLimitPause);
    EXPECT_EQ(rateLimitPause(reply(429, {"X-RateLimit-Reset: 2026-12-08T09:00:00Z"}), now),
              now + kDefaultRateLimitPause);
    EXPECT_FALSE(rateLimitPause(
        reply(200, {"X-RateLimit-Remaining: 0", "X-RateLimit-Reset: 2026-12-08T09:00:00Z"}), now));
    EXPECT_EQ(rateLimitPause(reply(429, {"X-RateLimit-Reset: 2030-01-01T00:00:00Z"}), now),
              now + kMaxRateLimitPause);
    EXPECT_FALSE(rateLimitPause(FetchReply{}, now));
}

class TimelineSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        loadOptions("/nonexistent/tilvane/tva_option.txt", {});
        config.serviceUrl = "https://social.example";
        config.source = SearchSource::HashtagTimeline;
    }
    void TearDown() override { clearOptions(); }

    // One search a timer tick after the last.
    std::vector<ImageLink> search(const std::string& keyword, std::int32_t count = 20) {
        server.now += 10s;
        return fetchHashtagTimelineLinks(state, server.services(), config, keyword, count);
    }

    // A download that records each address and gives a picture whose size differs from the
    // last, so that no two count as duplicates.
    std::function<DownloadResult(const std::string&)> recordingDownload() {
        return [this](const std::string& address) {
            fetched.push_back(address);
            DownloadResult result;
            result.ok = true;
            result.bytes.assign(fetched.size() * 10, 1);
            result.picture = Surface::filled(4, 3);
            return result;
        };
    }

    HashtagTimelineState state;
    FakeServer server;
    ServiceConfig config;
    std::vector<std::string> fetched;
};

TEST_F(TimelineSearch, IdentifiesItselfAndAsksOnlyForPostsNewerThanTheNewestSeen) {
    server.answers = {{200u, {}, recordedReply()}, {200u, {}, "[]"}, {200u, {}, "[]"}};
    EXPECT_EQ(search("cats").size(), 4u);
    EXPECT_TRUE(search("cats", 50).empty());
    EXPECT_TRUE(search("dogs").empty());
    EXPECT_EQ(server.urls,
              (std::vector<std::string>{
                  "https://social.example/api/v1/timelines/tag/cats?limit=20&only_media=true",
                  "https://social.example/api/v1/timelines/tag/cats?limit=40&only_media=true"
                  "&since_id=113600000000000999",
                  "https://social.example/api/v1/timelines/tag/dogs?limit=20&only_media=true"}));
    EXPECT_EQ(server.options[0].userAgent, std::string("tilvane/") + TILVANE_VERSION_TEXT);
    EXPECT_TRUE(server.options[0].extraHeaderLines.empty());

    config.accessToken = "secret-token";
    search("dogs");
    EXPECT_EQ(server.options.back().extraHeaderLines,
              std::vector<std::string>{"Authorization: Bearer secret-token"});
}

TEST_F(TimelineSearch, ARefusalIsToldOnceAndAnUnreachableServerCostsNothingMore) {
    server.answers = {{401u, {}, R"({"error":"This method requires an authenticated user"})"},
                      {403u, {}, "{}"}};
    EXPECT_TRUE(search("cats").empty());
    EXPECT_TRUE(search("cats").empty());
    EXPECT_TRUE(search("cats").empty());  // no reply at all
    EXPECT_EQ(server.refusals, 1);
    EXPECT_EQ(server.urls.size(), 3u);
    EXPECT_FALSE(state.pacing.pausedUntil.has_value());
}

TEST_F(TimelineSearch, ARateLimitStopsRequestsUntilItsResetAndTicksComeNoSoonerThanTheInterval) {
    server.answers = {{200u,
                       {"X-RateLimit-Remaining: 0", "X-RateLimit-Reset: 2026-12-08T10:02:00Z"},
                       recordedReply()},
                      {200u, {}, "[]"}};
    EXPECT_EQ(search("cats").size(), 4u) << "the reply that says so still counts";
    server.now += 99s;  // the next search comes a second before the reset
    EXPECT_TRUE(search("cats").empty());
    EXPECT_EQ(server.urls.size(), 1u);
    search("cats");
    EXPECT_EQ(server.urls.size(), 2u);

    server.answers = {{429u, {"Retry-After: 120"}, "Too many requests"}};
    search("cats");
    server.now += 109s;
    search("cats");
    EXPECT_EQ(server.urls.size(), 3u);
    search("cats");
    EXPECT_EQ(server.urls.size(), 4u);

    // A tick sooner than the source's interval asks nothing; the one after it does.
    server.now += 10s;
    state.pacing.lastRequest = server.now + 10s - kHashtagTimelineInterval + 1s;
    search("cats");
    EXPECT_EQ(server.urls.size(), 4u);
    search("cats");
    EXPECT_EQ(server.urls.size(), 5u);
    EXPECT_EQ(server.instanceUrls,
              std::vector<std::string>{"https://social.example/api/v2/instance"})
        << "the instance is described once; an older server's 404 leaves the requests as they are";
}

TEST_F(TimelineSearch, TheInstanceDescriptionDecidesLocalOnlyOrNoRequestAtAll) {
    const auto describing = [](const char* local, const char* remote) {
        return FakeServer::Answer{200u,
                                  {},
                                  std::string(R"({"configuration":{"timelines_access":{)") +
                                      R"("hashtag_feeds":{"local":")" + local + R"(","remote":")" +
                                      remote + R"("}}}})"};
    };
    server.instance = describing("public", "authenticated");
    server.answers = {{200u, {}, "[]"}, {200u, {}, "[]"}};
    search("cats dogs");
    search("cats dogs");
    EXPECT_EQ(server.urls,
              std::vector<std::string>(2,
                                       "https://social.example/api/v1/timelines/tag/cats?limit=20"
                                       "&only_media=true&local=true&any[]=dogs"));
    EXPECT_EQ(server.instanceUrls.size(), 1u);
    EXPECT_EQ(server.options.front().userAgent, std::string("tilvane/") + TILVANE_VERSION_TEXT);

    // With a token, an authenticated feed is open.
    state = {};
    config.accessToken = "secret-token";
    server.answers = {{200u, {}, "[]"}};
    search("cats");
    EXPECT_EQ(server.urls.back(),
              "https://social.example/api/v1/timelines/tag/cats?limit=20&only_media=true");

    state = {};
    config.accessToken.clear();
    server.instance = describing("disabled", "authenticated");
    server.urls.clear();
    search("cats");
    search("cats");
    EXPECT_TRUE(server.urls.empty());
    EXPECT_EQ(server.refusals, 1) << "told once, naming the server";

    // A server that does not answer is asked again; meanwhile the timeline is asked as always.
    state = {};
    server.instance.reset();
    server.instanceUrls.clear();
    server.answers = {{200u, {}, "[]"}, {200u, {}, "[]"}};
    search("cats");
    search("cats");
    EXPECT_EQ(server.instanceUrls.size(), 2u);
    EXPECT_EQ(server.urls.size(), 2u);
    for (const char* odd : {"not json", R"({"configuration":{"timelines_access":[]}})",
                            R"({"configuration":{"timelines_access":{"hashtag_feeds":)"
                            R"({"local":"disabled","remote":null}}}})"}) {
        EXPECT_EQ(readHashtagFeedAccess(odd, false), HashtagFeedAccess::AsAsked) << odd;
    }
}

TEST_F(TimelineSearch, TheCycleFetchesEachLinkAsNamedAndKeepsItsOriginal) {
    resetAppState();
    createGroupCanvases();
    ASSERT_TRUE(setOption("serch_ken", 30));
    ASSERT_TRUE(setOption("original", 1));  // no ":orig" for a timeline's own addresses
    std::vector<std::int32_t> counts;
    SearchCycleServices services{
        {},
        recordingDownload(),
        [&](const std::string&, std::int32_t count) {
            counts.push_back(count);
            return std::vector<ImageLink>{
                {"https://h/s/a.jpg", "https://h/s/a.jpg", "https://h/o/a.jpg"},
                {"https://h/s/b.jpg", "https://h/s/b.jpg", "https://h/o/b.jpg"},
                {"https://h/s/a.jpg", "https://h/s/a.jpg", "https://h/o/a.jpg"}};
        },
    };
    EXPECT_EQ(runSearchCycle(services), 1);
    EXPECT_EQ(counts, std::vector<std::int32_t>{30});
    EXPECT_EQ(fetched, (std::vector<std::string>{"https://h/s/a.jpg", "https://h/s/b.jpg"}));
    ASSERT_EQ(queuedTiles()->size(), 2u);
    EXPECT_EQ(queuedTiles()->front().name, "https://h/s/a.jpg");
    EXPECT_EQ(originalAddressOf(queuedTiles()->front()), "https://h/o/a.jpg");
    resetAppState();
}

TEST_F(TimelineSearch, TheCycleFetchesSensitiveLinksOnlyWhenTheyAreShown) {
    ASSERT_TRUE(setOption("serch_ken", 30));
    ImageLink marked{"https://h/s/m.jpg", "https://h/s/m.jpg", "https://h/o/m.jpg"};
    marked.sensitive = true;
    const ImageLink plain{"https://h/s/p.jpg", "https://h/s/p.jpg", "https://h/o/p.jpg"};
    SearchCycleServices services{
        {},
        recordingDownload(),
        [&](const std::string&, std::int32_t) {
            return std::vector<ImageLink>{marked, plain};
        },
    };
    for (const bool shown : {false, true}) {
        resetAppState();
        createGroupCanvases();
        fetched.clear();
        config.showSensitive = shown;
        setServiceConfig(config);
        runSearchCycle(services);
        EXPECT_EQ(fetched.size(), shown ? 2u : 1u);
        EXPECT_EQ(fetched.back(), plain.fetchUrl);
    }
    setServiceConfig(ServiceConfig{});
    resetAppState();
}

TEST_F(TimelineSearch, AnExitRequestedDuringADownloadStopsTheCycleBeforeTheNextLink) {
    resetAppState();
    createGroupCanvases();
    ASSERT_TRUE(setOption("serch_ken", 30));
    SearchCycleServices services{
        {},
        [&](const std::string& address) {
            fetched.push_back(address);
            requestExit();
            DownloadResult result;
            result.ok = true;
            result.bytes.assign(10, 1);
            result.picture = Surface::filled(4, 3);
            return result;
        },
        [](const std::string&, std::int32_t) {
            return std::vector<ImageLink>{
                {"https://h/s/a.jpg", "https://h/s/a.jpg", "https://h/o/a.jpg"},
                {"https://h/s/b.jpg", "https://h/s/b.jpg", "https://h/o/b.jpg"}};
        },
    };
    EXPECT_EQ(runSearchCycle(services), 0);
    EXPECT_EQ(fetched, std::vector<std::string>{"https://h/s/a.jpg"});
    EXPECT_TRUE(queuedTiles()->empty()) << "nothing is queued once the exit is requested";
    resetAppState();
}

}  // namespace
