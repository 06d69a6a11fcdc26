#pragma once

// Whether a Mastodon server opens its hashtag feeds to this reader, as its instance
// description says (configuration.timelines_access.hashtag_feeds).

#include <string_view>

inline constexpr std::string_view kInstancePath = "/api/v2/instance";

enum class HashtagFeedAccess {
    AsAsked,    // the remote feed is open, or the server does not say: ask as always
    LocalOnly,  // only the server's own posts are open: every request adds local=true
    Closed,     // neither feed is open: no timeline request
};

// Reads an instance description. A feed that is "public" is open; one that is
// "authenticated" is open only withToken; anything else ("disabled") is closed. A reply that
// is not JSON or does not name both feeds gives AsAsked.
HashtagFeedAccess readHashtagFeedAccess(std::string_view body, bool withToken);
