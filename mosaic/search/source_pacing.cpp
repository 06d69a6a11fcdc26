#include "mosaic/search/source_pacing.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

#include "http/http_response.h"

namespace {

std::optional<SourceClock::time_point> namedResetTime(const FetchReply& reply,
                                                      SourceClock::time_point now) {
    constexpr std::array<std::string_view, 3> kNames{"Retry-After", "X-RateLimit-Reset",
                                                     "RateLimit-Reset"};
    for (const std::string_view name : kNames) {
        if (const auto value = HeaderValue(reply.headerLines, name)) {
            if (const auto until = parseResetTime(*value, now); until && *until > now) {
                return until;
            }
        }
    }
    return std::nullopt;
}

bool noneLeft(const FetchReply& reply) {
    for (const std::string_view name : {"X-RateLimit-Remaining", "RateLimit-Remaining"}) {
        if (const auto remaining = HeaderValue(reply.headerLines, name); remaining == "0") {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<SourceClock::time_point> rateLimitPause(const FetchReply& reply,
                                                      SourceClock::time_point now) {
    const bool tooMany = reply.status && *reply.status == 429;
    if (!tooMany && !noneLeft(reply)) {
        return std::nullopt;
    }
    std::optional<SourceClock::time_point> until = namedResetTime(reply, now);
    if (!until) {
        if (!tooMany) {
            return std::nullopt;
        }
        until = now + kDefaultRateLimitPause;
    }
    return std::min(*until, now + kMaxRateLimitPause);
}

bool takeRequestTurn(SourcePacing& pacing, SourceClock::time_point now) {
    if (pacing.pausedUntil && now < *pacing.pausedUntil) {
        return false;
    }
    pacing.pausedUntil.reset();
    // A clock set back leaves the last request in the future: the interval counts afresh.
    if (pacing.lastRequest && now >= *pacing.lastRequest &&
        now - *pacing.lastRequest < pacing.minInterval) {
        return false;
    }
    pacing.lastRequest = now;
    return true;
}

bool noteSourceReply(SourcePacing& pacing, const FetchReply& reply, SourceClock::time_point now) {
    pacing.pausedUntil = rateLimitPause(reply, now);
    return reply.status && (*reply.status == 401 || *reply.status == 403) && firstRefusal(pacing);
}

bool firstRefusal(SourcePacing& pacing) {
    return !std::exchange(pacing.refusalShown, true);
}
