#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
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
#include "tilvane_version.h"

namespace {

using namespace std::chrono_literals;

std::string recordedReply() {
    std::ifstream in(std::string(TILVANE_TEST_DATA_DIR) + "/hashtag_timeline_reply.json",
                     std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> namesOf(const std::vector<ImageLink>& links) {
    std::vector<std::string> names;
    for (const ImageLink& link : links) {
        names.push_back(link.name);
    }
    return names;
}

const std::string kFiles = "https://files.social.example/media_attachments/files/";
const std::string kRemote = "https://cdn.remote.example/cache/media_attachments/files/";

TEST(TimelineReply, TakesImagesOfPostsAndBoostsWhateverTheirEndingAndPassesOverTheRest) {
    const std::string reply = recordedReply();
    ASSERT_FALSE(reply.empty());

    const TimelinePage previews = readTimelinePage(reply, false, false);
    EXPECT_TRUE(previews.readable);
    // The PNG is taken like the JPEGs (the decoder tells formats by their bytes); the
    // sensitive post, the video and the gifv are passed over; the boost's own picture comes
    // after the boosting post's.
    ASSERT_EQ(namesOf(previews.links), (std::vector<std::string>{kFiles + "001/small/aa11.jpeg",
                                                                 kFiles + "002/small/bb22.png",
                                                                 kRemote + "003/small/CC33.JPG"}));
    EXPECT_EQ(previews.links[0].fetchUrl, previews.links[0].name);
    EXPECT_EQ(previews.links[0].original, kFiles + "001/original/aa11.jpeg");
    EXPECT_EQ(previews.links[1].original, kFiles + "002/original/bb22.png");
    EXPECT_EQ(previews.links[2].original, kRemote + "003/original/CC33.JPG");
    // The highest id of the page's own posts, not of the boosted one.
    EXPECT_EQ(previews.newestId, "113600000000000999");

    const TimelinePage originals = readTimelinePage(reply, true, false);
    EXPECT_EQ(namesOf(originals.links),
              (std::vector<std::string>{kFiles + "001/original/aa11.jpeg",
                                        kFiles + "002/original/bb22.png",
                                        kRemote + "003/original/CC33.JPG"}));
    EXPECT_EQ(originals.links[0].original, originals.links[0].name);

    const TimelinePage withSensitive = readTimelinePage(reply, false, true);
    EXPECT_EQ(
        namesOf(withSensitive.links),
        (std::vector<std::string>{kFiles + "001/small/aa11.jpeg", kFiles + "002/small/bb22.png",
                                  kRemote + "003/small/CC33.JPG", kFiles + "004/small/dd44.jpg"}));
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
    const TimelinePage page = readTimelinePage(reply, false, false);
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
                         false, false);
    EXPECT_TRUE(tooLong.links.empty()) << "a name a tile cannot hold";
}

TEST(TimelineReply, BodiesThatAreNoListOfPostsGiveNothing) {
    for (const std::string& body :
         {std::string(), std::string("<html>Bad gateway</html>"),
          std::string(R"({"error":"This method requires an authenticated user"})"),
          std::string(R"([{"id":"1","media_attachments":[)"), std::string("[]"),
          std::string(200000, '[')}) {
        SCOPED_TRACE(body.substr(0, 40));
        const TimelinePage page = readTimelinePage(body, false, false);
        EXPECT_TRUE(page.links.empty());
        EXPECT_TRUE(page.newestId.empty());
        EXPECT_EQ(page.readable, body == "[]");
    }
    EXPECT_FALSE(
        readTimelinePage("[" + std::string(kMaxTimelineReplyBytes, ' ') + "]", false, false)
            .readable);
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

// A stand-in server: every fetch gets the next queued reply (or fails when none is left).
struct FakeServer {
    struct Answer {
        std::optional<unsigned> status;
        std::vector<std::string> headers;
        std::string body;
    };
    std::vector<Answer> answers;
    std::vector<std::string> urls;
    std::vector<FetchOptions> options;
    TimelineClock::time_point now = *parseIsoTime("2026-12-08T10:00:00Z");
    int refusals = 0;

    HashtagTimelineServices services() {
        return HashtagTimelineServices{
            [this](std::vector<char>& body, std::string_view url, const FetchOptions& sent,
                   FetchReply& reply) {
                urls.emplace_back(url);
                options.push_back(sent);
                if (answers.empty()) {
                    body.clear();
                    reply = FetchReply{};
                    return false;
                }
                Answer answer = answers.front();
                answers.erase(answers.begin());
                body.assign(answer.body.begin(), answer.body.end());
                reply.status = answer.status;
                reply.headerLines = answer.headers;
                reply.headerLines.insert(reply.headerLines.begin(), "HTTP/1.1 000 X");
                return answer.status == 200u;
            },
            [this] { return now; },
            [this] { ++refusals; },
        };
    }
};

class TimelineSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        loadOptions("/nonexistent/tilvane/tva_option.txt", {});
        config.serviceUrl = "https://social.example";
        config.source = SearchSource::HashtagTimeline;
    }
    void TearDown() override { clearOptions(); }

    std::vector<ImageLink> search(const std::string& keyword, std::int32_t count = 20) {
        return fetchHashtagTimelineLinks(state, server.services(), config, keyword, count);
    }

    HashtagTimelineState state;
    FakeServer server;
    ServiceConfig config;
};

TEST_F(TimelineSearch, IdentifiesItselfAndAsksOnlyForPostsNewerThanTheNewestSeen) {
    server.answers = {{200u, {}, recordedReply()}, {200u, {}, "[]"}, {200u, {}, "[]"}};
    EXPECT_EQ(search("cats").size(), 3u);
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
    EXPECT_FALSE(state.pausedUntil.has_value());
}

TEST_F(TimelineSearch, ARateLimitStopsRequestsUntilItsReset) {
    server.answers = {{200u,
                       {"X-RateLimit-Remaining: 0", "X-RateLimit-Reset: 2026-12-08T10:02:00Z"},
                       recordedReply()},
                      {200u, {}, "[]"}};
    EXPECT_EQ(search("cats").size(), 3u) << "the reply that says so still counts";
    server.now += 119s;
    EXPECT_TRUE(search("cats").empty());
    EXPECT_EQ(server.urls.size(), 1u);
    server.now += 1s;
    search("cats");
    EXPECT_EQ(server.urls.size(), 2u);

    server.answers = {{429u, {}, "Too many requests"}};
    search("cats");
    server.now += kDefaultRateLimitPause - 1s;
    search("cats");
    EXPECT_EQ(server.urls.size(), 3u);
    server.now += 1s;
    search("cats");
    EXPECT_EQ(server.urls.size(), 4u);
}

TEST_F(TimelineSearch, TheCycleFetchesEachLinkAsNamedAndKeepsItsOriginal) {
    resetAppState();
    createGroupCanvases();
    ASSERT_TRUE(setOption("serch_ken", 30));
    ASSERT_TRUE(setOption("original", 1));  // no ":orig" for a timeline's own addresses
    std::vector<std::string> fetched;
    std::vector<std::int32_t> counts;
    SearchCycleServices services{
        {},
        [&](const std::string& address) {
            fetched.push_back(address);
            DownloadResult result;
            result.ok = true;
            result.bytes.assign(fetched.size() * 10, 1);
            result.picture = Surface::filled(4, 3);
            return result;
        },
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

TEST_F(TimelineSearch, AnExitRequestedDuringADownloadStopsTheCycleBeforeTheNextLink) {
    resetAppState();
    createGroupCanvases();
    ASSERT_TRUE(setOption("serch_ken", 30));
    std::vector<std::string> fetched;
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
