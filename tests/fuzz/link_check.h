#pragma once

// What every source's links promise whatever the reply: addresses a tile can be named by and
// the download service can open, fetched as named, and the original shown when asked for.

#include <algorithm>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "mosaic/raster/image_limits.h"
#include "mosaic/search/image_source.h"

inline bool isPrintableHttpAddress(std::string_view address) {
    return (address.starts_with("https://") || address.starts_with("http://")) &&
           address.size() <= kMaxTileNameLength &&
           std::all_of(address.begin(), address.end(), [](char c) {
               const auto byte = static_cast<unsigned char>(c);
               return byte > 0x20 && byte < 0x7F;
           });
}

inline void checkLinks(const std::vector<ImageLink>& links, bool original) {
    for (const ImageLink& link : links) {
        FUZZ_CHECK(isPrintableHttpAddress(link.name));
        FUZZ_CHECK(link.fetchUrl == link.name);
        FUZZ_CHECK(isPrintableHttpAddress(link.original));
        FUZZ_CHECK(!original || link.original == link.name);
    }
}
