#pragma once

#include <cstddef>
#include <cstdint>

// Bounds that keep one hostile or broken image from exhausting memory or turning into a
// name that a tile cannot hold.

// Encoded bytes accepted from one download; past this the transfer stops and the link is
// skipped.
inline constexpr std::size_t kMaxImageBytes = 32u * 1024u * 1024u;

// Decoded picture size accepted, checked from the image header before pixels are allocated.
inline constexpr std::uint64_t kMaxPicturePixels = 64ull * 1000ull * 1000ull;

// Longest image address a tile name holds; longer links are skipped before downloading.
inline constexpr std::size_t kMaxTileNameLength = 255;

inline bool pictureSizeAcceptable(std::int64_t width, std::int64_t height,
                                  std::uint64_t maxPixels = kMaxPicturePixels) {
    return width > 0 && height > 0 &&
           static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) <= maxPixels;
}
