// Flickr's feed on any bytes (the \' escape included), read for previews and for originals:
// the tile asks for the 640-pixel size, the original for the large one, of the same photo.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "link_check.h"
#include "mosaic/search/flickr_feed.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const auto previews = readFlickrFeed(body, false);
    const auto originals = readFlickrFeed(body, true);
    checkLinks(previews, false);
    checkLinks(originals, true);
    FUZZ_CHECK(previews.size() == originals.size());
    for (std::size_t i = 0; i < previews.size(); ++i) {
        const std::string& name = previews[i].name;
        const std::string& large = previews[i].original;
        FUZZ_CHECK(name.ends_with("_z.jpg") && large.ends_with("_b.jpg"));
        FUZZ_CHECK(std::string_view(name).substr(0, name.size() - 6) ==
                   std::string_view(large).substr(0, large.size() - 6));
        FUZZ_CHECK(large == originals[i].name);
        FUZZ_CHECK(!previews[i].sensitive);
    }
    return 0;
}
