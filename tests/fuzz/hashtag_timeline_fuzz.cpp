// A hashtag timeline's reply on any bytes, read with every choice of picture size and of
// sensitive posts: the links are printable http(s) addresses that fit a tile name, the
// newest id is a decimal text, and a link's original address survives the pinned list. The
// input's first line also goes through the rate-limit reading as a reset time.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "link_check.h"
#include "mosaic/search/hashtag_timeline.h"
#include "mosaic/wall/pinned_tiles.h"
#include "oauth/percent_encoding.h"

namespace {

bool isPrintableHttpAddress(std::string_view address) {
    return (address.starts_with("https://") || address.starts_with("http://")) &&
           address.size() <= kMaxTileNameLength &&
           std::all_of(address.begin(), address.end(), [](char c) {
               const auto byte = static_cast<unsigned char>(c);
               return byte > 0x20 && byte < 0x7F;
           });
}

void checkPage(const TimelinePage& page, bool original) {
    FUZZ_CHECK(page.readable || (page.links.empty() && page.newestId.empty()));
    FUZZ_CHECK(page.newestId.size() <= 30);
    FUZZ_CHECK(std::all_of(page.newestId.begin(), page.newestId.end(),
                           [](char c) { return c >= '0' && c <= '9'; }));
    for (const ImageLink& link : page.links) {
        FUZZ_CHECK(isPrintableHttpAddress(link.name));
        FUZZ_CHECK(link.fetchUrl == link.name);
        FUZZ_CHECK(isPrintableHttpAddress(link.original));
        FUZZ_CHECK(!original || link.original == link.name);
        // What a pin writes for the original reads back as the same address.
        for (const std::string* value : {&link.original, &link.author, &link.postPage}) {
            if (const auto listed = listedOriginalUrl(*value)) {
                FUZZ_CHECK(listed->find(',') == std::string::npos);
                FUZZ_CHECK(PercentDecode(*listed) == *value);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    for (const bool original : {false, true}) {
        checkPage(readTimelinePage(body, original), original);
    }
    // A token only ever opens feeds.
    FUZZ_CHECK(readHashtagFeedAccess(body, true) <= readHashtagFeedAccess(body, false));

    const std::string_view firstLine = body.substr(0, std::min(body.find('\n'), body.size()));
    const TimelineClock::time_point now{};
    for (const char* header : {"X-RateLimit-Reset: ", "Retry-After: ", "RateLimit-Reset: "}) {
        const FetchReply reply{429u,
                               {"HTTP/1.1 429 Too Many Requests", header + std::string(firstLine)}};
        const auto pause = rateLimitPause(reply, now);
        FUZZ_CHECK(pause && *pause > now && *pause <= now + kMaxRateLimitPause);
    }
    return 0;
}
