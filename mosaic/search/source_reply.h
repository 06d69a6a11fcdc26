#pragma once

// What the open sources (Misskey, Flickr, Bluesky) share: their server, and one bounded
// request that honours rate-limit pauses.

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "http/http_fetch.h"
#include "http/service_config.h"
#include "mosaic/search/hashtag_timeline.h"
#include "mosaic/search/source_pacing.h"

// A source's reply larger than this is not parsed.
inline constexpr std::size_t kMaxSourceReplyBytes = 4u * 1024u * 1024u;

// The server a source asks: the configured one, or fallback when service.txt names none.
std::string sourceServer(const ServiceConfig& config, std::string_view fallback);

// What one source keeps about its requests from one cycle to the next.
using SourceRequestState = SourcePacing;

// One request of a source: none while a rate-limit pause lasts; otherwise identified as
// tilvane/<version>, bounded to kMaxSourceReplyBytes, by POST when options carry a body.
// A 401 or 403 calls showRefusal once per state. The body when the reply was a 200.
std::optional<std::string> fetchSourceReply(SourceRequestState& state,
                                            const HashtagTimelineServices& services,
                                            const std::string& url, FetchOptions options);
