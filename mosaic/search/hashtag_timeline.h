#pragma once

// The search through a Mastodon-compatible server's public hashtag timeline
// (GET /api/v1/timelines/tag/<tag>), read without an account unless the server asks for one.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "http/http_fetch.h"
#include "http/service_config.h"
#include "mosaic/search/image_source.h"

using TimelineClock = std::chrono::system_clock;

// The most posts one timeline request may ask for.
inline constexpr std::int32_t kMaxTimelinePosts = 40;
// Further words of the keyword sent as additional tags; the servers take no more.
inline constexpr std::size_t kMaxAdditionalTags = 4;
// A reply larger than this is not parsed.
inline constexpr std::size_t kMaxTimelineReplyBytes = 4u * 1024u * 1024u;
// Longest pause a rate-limit reply can impose, whatever reset time it names.
inline constexpr std::chrono::seconds kMaxRateLimitPause{3600};
// Pause after a refusal for too many requests that names no usable reset time.
inline constexpr std::chrono::seconds kDefaultRateLimitPause{300};

// The tag and further tags of a keyword in UTF-8: its words (split at white space and the
// ideographic space), each without leading "#"; at most kMaxAdditionalTags further ones.
struct TimelineTags {
    std::string tag;  // empty: the keyword names no tag
    std::vector<std::string> additional;
};
TimelineTags timelineTags(std::string_view keywordUtf8);

// "/api/v1/timelines/tag/<tag>?limit=<n>&only_media=true[&any[]=<tag>...][&since_id=<id>]"
// with every tag percent-encoded and n between 1 and kMaxTimelinePosts. Empty when the tags
// hold no tag.
std::string hashtagTimelinePath(const TimelineTags& tags, std::int32_t postCount,
                                std::string_view sinceId);

// What one reply gives: the image links of its posts and the boosted posts, in reply order,
// and the highest post id on it.
struct TimelinePage {
    bool readable = false;  // the body was a JSON array
    std::vector<ImageLink> links;
    std::string newestId;  // decimal digits; empty when no post carried a usable id
};

// Reads a reply body. Takes every attachment of type "image" whose chosen address (url when
// original, else preview_url) is a printable http(s) address that fits a tile name, whatever
// its ending: the decoder tells the format by the bytes. The link's original is the
// attachment's url. Posts marked sensitive are passed over unless showSensitive.
TimelinePage readTimelinePage(std::string_view body, bool original, bool showSensitive);

// An ISO 8601 date and time ("2026-12-08T10:15:00.000Z", with an offset, or without one
// for UTC) in the years 1900 to 2200, or none when the text is not one.
std::optional<TimelineClock::time_point> parseIsoTime(std::string_view text);

// Until when a reply asks for no further requests: a 429 until X-RateLimit-Reset (or
// kDefaultRateLimitPause when it names no later time), an X-RateLimit-Remaining of 0 until
// X-RateLimit-Reset; never longer than kMaxRateLimitPause. None: no pause.
std::optional<TimelineClock::time_point> rateLimitPause(const FetchReply& reply,
                                                        TimelineClock::time_point now);

// What the timeline search keeps from one cycle to the next.
struct HashtagTimelineState {
    std::string sinceIdPath;  // the request (without since_id) that newestId belongs to
    std::string newestId;     // the newest post seen for it in this run
    std::optional<TimelineClock::time_point> pausedUntil;
    bool refusalShown = false;
};

// What the timeline search talks to; tests put their own in place of each.
struct HashtagTimelineServices {
    std::function<bool(std::vector<char>& body, std::string_view url, const FetchOptions& options,
                       FetchReply& reply)>
        fetch;
    std::function<TimelineClock::time_point()> now;
    // Tells the user once that the server refuses anonymous reading.
    std::function<void()> showRefusal;
};

// One search: nothing while a rate-limit pause lasts; otherwise one request identified as
// tilvane/<version> (with the access token as a bearer token when one is configured) and
// the links of its reply. A 401 or 403 calls showRefusal, once per state.
std::vector<ImageLink> fetchHashtagTimelineLinks(HashtagTimelineState& state,
                                                 const HashtagTimelineServices& services,
                                                 const ServiceConfig& config,
                                                 const std::string& keyword,
                                                 std::int32_t postCount);

// The process's timeline search: its state, the real client and clock, and the shell's
// message. Called by the search worker under the application mutex.
std::vector<ImageLink> hashtagTimelineLinks(const std::string& keyword, std::int32_t postCount);

// The process's state (tests put it back).
HashtagTimelineState& hashtagTimelineState();
