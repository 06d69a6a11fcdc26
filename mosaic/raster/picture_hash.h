#pragma once

#include <bit>
#include <cstdint>
#include <optional>

#include "mosaic/raster/surface.h"

// Largest number of differing bits at which two picture hashes name the same picture: chosen
// by the measurement in docs/picture-hash.md, where no two distinct pictures come closer than
// 6 and most re-encoded, resized and slightly cropped copies fall within it.
inline constexpr int kSamePictureDistance = 5;

// A perceptual hash of the picture: 48 bits of shape (the signs against their median of the
// 7 × 7 lowest frequencies of a DCT of a 32 × 32 grey copy, its mean left out) and 16 bits of
// colour (the mean red, green and blue as thermometer codes). Size, aspect ratio, encoding and
// a small crop change few bits. None for an empty surface.
std::optional<std::uint64_t> pictureHash(const Surface& picture);

inline int hashDistance(std::uint64_t a, std::uint64_t b) {
    return std::popcount(a ^ b);
}

inline bool looksLikeSamePicture(std::uint64_t a, std::uint64_t b) {
    return hashDistance(a, b) <= kSamePictureDistance;
}
