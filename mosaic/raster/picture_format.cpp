#include "mosaic/raster/picture_format.h"

#include <algorithm>
#include <array>

namespace {

template <std::size_t N>
bool hasAt(std::span<const std::uint8_t> bytes, std::size_t offset,
           const std::array<std::uint8_t, N>& expected) {
    return bytes.size() >= offset + N &&
           std::equal(expected.begin(), expected.end(), bytes.begin() + offset);
}

constexpr std::array<std::uint8_t, 2> kJpegStart{0xFF, 0xD8};
constexpr std::array<std::uint8_t, 8> kPngSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::array<std::uint8_t, 4> kRiff{'R', 'I', 'F', 'F'};
constexpr std::array<std::uint8_t, 4> kWebp{'W', 'E', 'B', 'P'};

}  // namespace

PictureFormat pictureFormatOf(std::span<const std::uint8_t> bytes) {
    if (hasAt(bytes, 0, kJpegStart)) {
        return PictureFormat::jpeg;
    }
    if (hasAt(bytes, 0, kPngSignature)) {
        return PictureFormat::png;
    }
    if (hasAt(bytes, 0, kRiff) && hasAt(bytes, 8, kWebp)) {
        return PictureFormat::webp;
    }
    return PictureFormat::unknown;
}
