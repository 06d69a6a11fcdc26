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
#include "mosaic/search/hashtag_feed_access.h"
#include "mosaic/search/image_source.h"
#include "mosaic/search/source_pacing.h"

using TimelineClock = SourceClock;

// The most posts one timeline request may ask for.
inline constexpr std::int32_t kMaxTimelinePosts = 40;
// Further words of the keyword sent as additional tags; the servers take no more.
inline constexpr std::size_t kMaxAdditionalTags = 4;
// A reply larger than this is not parsed.
inline constexpr std::size_t kMaxTimelineReplyBytes = 4u * 1024u * 1024u;
// The servers allow an anonymous reader about one request a second; one every few seconds
// leaves room for the other programs behind the same address.
inline constexpr std::chrono::seconds kHashtagTimelineInterval{5};

// The tag and further tags of a keyword in UTF-8: its words (split at white space and the
// ideographic space), each without leading "#"; at most kMaxAdditionalTags further ones.
struct TimelineTags {
    std::string tag;  // empty: the keyword names no tag
    std::vector<std::string> additional;
};
TimelineTags timelineTags(std::string_view keywordUtf8);

// "/api/v1/timelines/tag/<tag>?limit=<n>&only_media=true[&local=true][&any[]=<tag>...]
// [&since_id=<id>]" with every tag percent-encoded and n between 1 and kMaxTimelinePosts.
// Empty when the tags hold no tag.
std::string hashtagTimelinePath(const TimelineTags& tags, std::int32_t postCount,
                                std::string_view sinceId, bool localOnly = false);

// What one reply gives: the image links of its posts and the boosted posts, in reply order,
// and the highest post id on it.
struct TimelinePage {
    bool readable = false;  // the body was a JSON array
    std::vector<ImageLink> links;
    std::string newestId;  // decimal digits; empty when no post carried a usable id
};

// Reads a reply body. Takes every attachment of type "image" whose chosen address (url when
// original, else preview_url) is a printable http(s) address that fits a tile name, whatever
// its ending (the decoder tells the format by the bytes); the link's original is the
// attachment's url, its author the post's account (acct), its post page the post's url, and
// it is sensitive when the post is marked so.
TimelinePage readTimelinePage(std::string_view body, bool original);

// What the timeline search keeps from one cycle to the next.
struct HashtagTimelineState {
    std::string sinceIdPath;  // the request (without since_id) that newestId belongs to
    std::string newestId;     // the newest post seen for it in this run
    SourcePacing pacing{kHashtagTimelineInterval};
    // What the server's instance description said; none until a reply came.
    std::optional<HashtagFeedAccess> feedAccess{};
};

// What the timeline search talks to; tests put their own in place of each.
struct HashtagTimelineServices {
    std::function<bool(std::vector<char>& body, std::string_view url, const FetchOptions& options,
                       FetchReply& reply)>
        fetch;
    std::function<TimelineClock::time_point()> now;
    // Tells the user once that the server refuses anonymous reading or opens no feed.
    std::function<void()> showRefusal;
};

// One search: nothing while a rate-limit pause lasts or sooner than the interval after the
// last; the first asks the instance description (kInstancePath) what the feeds allow. Then,
// unless both feeds are closed, one request identified as tilvane/<version> (with the access
// token as a bearer token when one is configured) and the links of its reply. A 401 or 403
// or two closed feeds call showRefusal, once per state.
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

// The real client, clock and the shell's refusal message, for every source that reads a feed.
HashtagTimelineServices realSourceServices();
