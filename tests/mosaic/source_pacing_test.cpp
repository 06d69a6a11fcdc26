#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "mosaic/search/post_id.h"
#include "mosaic/search/source_pacing.h"

namespace {

using namespace std::chrono_literals;

const SourceClock::time_point kNow = *parseIsoTime("2026-12-08T10:00:00Z");

FetchReply replyWith(unsigned status, std::vector<std::string> headers) {
    headers.insert(headers.begin(), "HTTP/1.1 " + std::to_string(status) + " X");
    return FetchReply{status, headers};
}

TEST(PostIds, NewerMeansTheLargerNumberWhateverTheLength) {
    EXPECT_TRUE(isNewerPostId("1000", "999"));
    EXPECT_FALSE(isNewerPostId("999", "1000"));
    EXPECT_TRUE(isNewerPostId("113600000000000999", "99999999999999999"));
    EXPECT_FALSE(isNewerPostId("0999", "1000")) << "leading zeros add nothing";
    EXPECT_FALSE(isNewerPostId("1000", "1000"));
    EXPECT_TRUE(isNewerPostId("1", ""));
    EXPECT_FALSE(isNewerPostId("", "1"));
    // Misskey's base-36 ids of one length sort as texts, digits before letters.
    EXPECT_TRUE(isNewerPostId("9zmfa0000a", "9zmf9zzzzz"));
    EXPECT_TRUE(isNewerPostId("a000000000", "9zzzzzzzzz"));
    EXPECT_TRUE(isPostId("9zmfa0000a"));
    EXPECT_FALSE(isDecimalPostId("9zmfa0000a"));
    for (const char* bad : {"", "12A", "-1", "1 2", "0123456789012345678901234567890"}) {
        EXPECT_FALSE(isPostId(bad)) << bad;
    }
}

TEST(SourcePacing, EveryFormOfResetTimePausesTheSourceForAtMostAnHour) {
    const auto pauseOf = [](unsigned status, std::vector<std::string> headers) {
        const auto until = rateLimitPause(replyWith(status, std::move(headers)), kNow);
        return until ? std::chrono::duration_cast<std::chrono::seconds>(*until - kNow)
                     : std::chrono::seconds(-1);
    };
    EXPECT_EQ(pauseOf(429, {"Retry-After: 90"}), 90s);
    EXPECT_EQ(pauseOf(429, {"Retry-After: Tue, 08 Dec 2026 10:02:00 GMT"}), 120s);
    EXPECT_EQ(pauseOf(429, {"Retry-After: 90", "X-RateLimit-Reset: 2026-12-08T10:05:00Z"}), 90s)
        << "Retry-After comes first";
    EXPECT_EQ(pauseOf(429, {"X-RateLimit-Reset: 1796724180"}), 180s) << "seconds since 1970";
    EXPECT_EQ(pauseOf(200, {"RateLimit-Remaining: 0", "RateLimit-Reset: 45"}), 45s);
    EXPECT_EQ(pauseOf(200, {"RateLimit-Remaining: 1", "RateLimit-Reset: 45"}), -1s);
    EXPECT_EQ(pauseOf(429, {"Retry-After: 86400"}), kMaxRateLimitPause);
    EXPECT_EQ(pauseOf(429, {"Retry-After: Tue, 08 Dec 2026 09:00:00 GMT"}), kDefaultRateLimitPause)
        << "a time already past";
    EXPECT_EQ(pauseOf(429, {"Retry-After: soon", "RateLimit-Reset: 99999999999999"}),
              kDefaultRateLimitPause);
    for (const char* bad : {"Tue, 08 Dec 2026 10:02:00 UTC", "Tue, 31 Feb 2026 10:02:00 GMT",
                            "Tue, 08 Dek 2026 10:02:00 GMT", "Tue, 08 Dec 2026 10:02:00 GMT "}) {
        EXPECT_FALSE(parseHttpDate(bad).has_value()) << bad;
    }
}

TEST(SourcePacing, ATurnComesAfterTheIntervalAndThePauseAndARefusalIsToldOnce) {
    SourcePacing pacing{10s};
    EXPECT_TRUE(takeRequestTurn(pacing, kNow));
    EXPECT_FALSE(takeRequestTurn(pacing, kNow + 9s));
    EXPECT_TRUE(takeRequestTurn(pacing, kNow + 10s));
    EXPECT_TRUE(takeRequestTurn(pacing, kNow - 1h)) << "a clock set back does not stop it";

    EXPECT_FALSE(noteSourceReply(pacing, replyWith(429, {"Retry-After: 60"}), kNow));
    EXPECT_FALSE(takeRequestTurn(pacing, kNow + 59s));
    EXPECT_TRUE(takeRequestTurn(pacing, kNow + 60s));

    EXPECT_TRUE(noteSourceReply(pacing, replyWith(401, {}), kNow));
    EXPECT_FALSE(noteSourceReply(pacing, replyWith(403, {}), kNow));
    EXPECT_FALSE(noteSourceReply(pacing, FetchReply{}, kNow)) << "no reply at all";
    EXPECT_FALSE(pacing.pausedUntil.has_value());
}

}  // namespace
