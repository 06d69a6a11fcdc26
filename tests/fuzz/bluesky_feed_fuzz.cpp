// A Bluesky feed reply and a resolveHandle reply on any bytes, and the keyword on them: every
// link names its format in its last segment, a resolved DID is a plain "did:" name, and a
// keyword gives a target whose names need no escaping in a path.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "link_check.h"
#include "mosaic/search/bluesky_feed.h"

namespace {

bool namesFormat(std::string_view address) {
    return address.substr(address.rfind('/') + 1).find('@') != std::string_view::npos;
}

bool isPlain(std::string_view name) {
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == '/' || c == '?' || c == '&' || c == '#' || c == '%' ||
               static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F;
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    for (const bool original : {false, true}) {
        const auto links = readBlueskyFeed(body, original);
        checkLinks(links, original);
        for (const ImageLink& link : links) {
            FUZZ_CHECK(namesFormat(link.name) && namesFormat(link.original));
            FUZZ_CHECK(link.postPage.empty() ||
                       link.postPage.starts_with("https://bsky.app/profile/"));
        }
    }
    if (const auto did = readResolvedDid(body)) {
        FUZZ_CHECK(did->starts_with("did:") && isPlain(*did));
    }
    const BlueskyTarget target = blueskyTarget(body);
    FUZZ_CHECK(isPlain(target.actor) && isPlain(target.feed));
    FUZZ_CHECK(!target.actor.empty() || target.feed.empty());
    return 0;
}
