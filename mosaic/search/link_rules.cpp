#include "mosaic/search/link_rules.h"

#include <algorithm>

#include "mosaic/raster/image_limits.h"

bool isUsableAddress(std::string_view address) {
    if (address.empty() || address.size() > kMaxTileNameLength ||
        !(address.starts_with("https://") || address.starts_with("http://"))) {
        return false;
    }
    return std::all_of(address.begin(), address.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte > 0x20 && byte < 0x7F;
    });
}
