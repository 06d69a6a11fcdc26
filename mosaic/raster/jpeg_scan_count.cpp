#include "mosaic/raster/jpeg_scan_count.h"

#include <algorithm>

std::size_t countJpegScans(std::span<const std::uint8_t> bytes, std::size_t limit) {
    constexpr std::uint8_t kMarkerPrefix = 0xFF;
    constexpr std::uint8_t kStartOfScan = 0xDA;
    std::size_t scans = 0;
    auto at = bytes.begin();
    while (scans <= limit) {
        at = std::find(at, bytes.end(), kMarkerPrefix);
        if (at == bytes.end() || std::next(at) == bytes.end()) {
            break;
        }
        ++at;
        if (*at == kStartOfScan) {
            ++scans;
        }
    }
    return scans;
}
