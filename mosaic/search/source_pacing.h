#pragma once

// How often a source is asked: its own shortest interval, the pauses its replies impose, and
// the one time a refusal is told.

#include <chrono>
#include <optional>

#include "http/http_fetch.h"
#include "mosaic/search/reply_time.h"

// Longest pause a rate-limit reply can impose, whatever reset time it names.
inline constexpr std::chrono::seconds kMaxRateLimitPause{3600};
// Pause after a refusal for too many requests that names no usable time to ask again.
inline constexpr std::chrono::seconds kDefaultRateLimitPause{300};

// What one source keeps between its requests.
struct SourcePacing {
    // The source's shortest time between two requests; a tick that comes sooner asks nothing.
    std::chrono::seconds minInterval{0};
    std::optional<SourceClock::time_point> lastRequest{};
    std::optional<SourceClock::time_point> pausedUntil{};
    bool refusalShown = false;
};

// Until when a reply asks for no further requests: a 429 until its Retry-After (seconds or
// an HTTP date), else its X-RateLimit-Reset or RateLimit-Reset (parseResetTime), else for
// kDefaultRateLimitPause; an X-RateLimit-Remaining or RateLimit-Remaining of 0 until the
// reset it names. Never longer than kMaxRateLimitPause. None: no pause.
std::optional<SourceClock::time_point> rateLimitPause(const FetchReply& reply,
                                                      SourceClock::time_point now);

// Whether the source may be asked now (no pause lasts and its interval has passed); when it
// may, the request is counted as made now.
bool takeRequestTurn(SourcePacing& pacing, SourceClock::time_point now);

// Takes in a reply's pauses. True the first time the source refuses to answer (401 or 403):
// the caller tells the user then, and never again for this pacing.
bool noteSourceReply(SourcePacing& pacing, const FetchReply& reply, SourceClock::time_point now);

// True the first time it is called for this pacing: a refusal to tell the user once.
bool firstRefusal(SourcePacing& pacing);
