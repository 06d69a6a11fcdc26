#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "mosaic/surface.h"

// Decodes encoded image bytes (JPEG; on Windows whatever the OLE picture decoder accepts)
// into a surface at the picture's natural size. Gives no picture for bytes that cannot be
// decoded, for an empty input, for inputs larger than kMaxImageBytes and for pictures larger
// than kMaxPicturePixels. Safe to call on any thread.
std::optional<Surface> decodePicture(std::span<const std::uint8_t> bytes);

// decodePicture with another bound on the picture's pixel count.
std::optional<Surface> decodePictureWithin(std::span<const std::uint8_t> bytes,
                                           std::uint64_t maxPixels);

struct PictureSize {
    int width = 0;
    int height = 0;
};

// The frame size written in a JPEG's start-of-frame header, without decoding anything;
// none when the bytes are not a JPEG or the header is cut short.
std::optional<PictureSize> readJpegSize(std::span<const std::uint8_t> bytes);
