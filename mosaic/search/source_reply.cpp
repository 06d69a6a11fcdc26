#include "mosaic/search/source_reply.h"

#include <utility>
#include <vector>

#include "http/program_version.h"

namespace {

// Room for the reply's head beside a body of kMaxSourceReplyBytes.
constexpr std::size_t kMaxSourceHeadBytes = 64 * 1024;

}  // namespace

std::string sourceServer(const ServiceConfig& config, std::string_view fallback) {
    return config.serviceUrl == kDefaultServiceUrl ? std::string(fallback) : config.serviceUrl;
}

std::optional<std::string> fetchSourceReply(SourceRequestState& state,
                                            const HashtagTimelineServices& services,
                                            const std::string& url, FetchOptions options) {
    const TimelineClock::time_point now = services.now();
    if (state.pausedUntil && now < *state.pausedUntil) {
        return std::nullopt;
    }
    state.pausedUntil.reset();
    options.userAgent = kProgramUserAgent;
    // The read stops there, so a huge reply costs neither the memory nor the parse.
    options.maxReplyBytes = kMaxSourceReplyBytes + kMaxSourceHeadBytes;
    std::vector<char> body;
    FetchReply reply;
    const bool found = services.fetch(body, url, options, reply);
    if (noteSourceReply(state, reply, now) && services.showRefusal) {
        services.showRefusal();
    }
    if (!found || body.size() > kMaxSourceReplyBytes) {
        return std::nullopt;
    }
    return std::string(body.begin(), body.end());
}
