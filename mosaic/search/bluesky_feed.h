#pragma once

// The search through Bluesky's public read endpoints: an account's posts with media
// (app.bsky.feed.getAuthorFeed) or a custom feed (app.bsky.feed.getFeed), read without an
// account. Its post search is never used: the operators ask clients not to automate it.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "http/service_config.h"
#include "mosaic/search/image_source.h"
#include "mosaic/search/source_reply.h"

inline constexpr std::string_view kBlueskyDefaultServer = "https://public.api.bsky.app";
// The most posts one request may ask for.
inline constexpr std::int32_t kMaxBlueskyPosts = 100;
// The shortest time between two requests to the server.
inline constexpr std::chrono::seconds kBlueskyMinInterval{20};

// What a keyword names: an account's handle (or DID), and a feed's name on it when it names
// a custom feed.
struct BlueskyTarget {
    std::string actor;  // empty: the keyword names nothing usable
    std::string feed;   // empty: the account's own posts
};

// Reads "nasa.gov", "@nasa.gov", "https://bsky.app/profile/nasa.gov" or
// "bsky.app/profile/<handle>/feed/<name>" (surrounding white space ignored).
BlueskyTarget blueskyTarget(std::string_view keywordUtf8);

// "/xrpc/app.bsky.feed.getAuthorFeed?actor=<actor>&filter=posts_with_media&limit=<n>".
std::string blueskyAuthorFeedPath(std::string_view actor, std::int32_t postCount);
// "/xrpc/com.atproto.identity.resolveHandle?handle=<handle>".
std::string blueskyResolvePath(std::string_view handle);
// "/xrpc/app.bsky.feed.getFeed?feed=at://<did>/app.bsky.feed.generator/<name>&limit=<n>",
// the feed's address percent-encoded.
std::string blueskyFeedPath(std::string_view did, std::string_view feed, std::int32_t postCount);

// The DID a resolveHandle reply names, or none.
std::optional<std::string> readResolvedDid(std::string_view body);

// Reads a getAuthorFeed or getFeed reply: the images of each post's embed (images#view, or
// the media of recordWithMedia#view), in reply order. The tile is the thumb (the fullsize
// when original), the original the fullsize; an address whose last segment names no "@"
// format gets "@jpeg". A post labelled porn, sexual, nudity or graphic-media is sensitive.
std::vector<ImageLink> readBlueskyFeed(std::string_view body, bool original);

// What the Bluesky search keeps from one cycle to the next.
struct BlueskyState {
    std::string resolvedHandle;  // the handle resolvedDid belongs to
    std::string resolvedDid;
    SourceRequestState requests{kBlueskyMinInterval};
};

// One search: the account's posts, or the custom feed after resolving its account's handle
// once per handle.
std::vector<ImageLink> fetchBlueskyLinks(BlueskyState& state,
                                         const HashtagTimelineServices& services,
                                         const ServiceConfig& config, const std::string& keyword,
                                         std::int32_t postCount);

// The process's Bluesky search, with the real client. Called by the search worker.
std::vector<ImageLink> blueskyLinks(const std::string& keyword, std::int32_t postCount);

// The process's state (tests put it back).
BlueskyState& blueskyState();
