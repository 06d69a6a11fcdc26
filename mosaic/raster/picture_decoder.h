#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "mosaic/raster/image_limits.h"
#include "mosaic/raster/surface.h"

// Decodes JPEG bytes into a surface at the picture's natural size. Gives no picture for bytes
// that cannot be decoded, for an empty input, for inputs larger than kMaxImageBytes, for
// pictures larger than kMaxPicturePixels, for bytes whose frame size cannot be read before
// decoding and for files of more scans than kMaxJpegScans (see pictureAllowedForDecoding).
// Safe to call on any thread.
std::optional<Surface> decodePicture(std::span<const std::uint8_t> bytes);

// decodePicture with another bound on the picture's pixel count.
std::optional<Surface> decodePictureWithin(std::span<const std::uint8_t> bytes,
                                           std::uint64_t maxPixels);

struct PictureSize {
    int width = 0;
    int height = 0;
    bool operator==(const PictureSize&) const = default;
};

struct ScaledPicture {
    Surface picture;
    PictureSize naturalSize;
};

// The decoded picture stretched to width × height exactly as stretchSurface stretches the
// natural-size decoding over a rectangle of that size, with the picture's natural size. Gives
// none for whatever decodePicture refuses and for sizes below 1. Where the decoder allows it
// the natural-size picture is never held whole. Safe to call on any thread.
std::optional<ScaledPicture> decodePictureScaled(std::span<const std::uint8_t> bytes,
                                                 std::int32_t width, std::int32_t height);

// The frame size written in a JPEG's start-of-frame header, without decoding anything;
// none when the bytes do not begin with a JPEG start-of-image marker, when scan data or the
// end of the image comes before a frame header, or when a segment is cut short. Stray bytes
// between segments are passed over the way libjpeg passes over them, so a frame header that
// libjpeg would find is found here too.
std::optional<PictureSize> readJpegSize(std::span<const std::uint8_t> bytes);

// The check made before any decoder sees the bytes: true only when readJpegSize finds a frame
// size and that size is within maxPixels. Bytes whose size cannot be told this way (not a
// JPEG, or no readable frame header) are refused rather than left to a decoder that would
// allocate the whole picture first.
bool pictureSizeAllowed(std::span<const std::uint8_t> bytes,
                        std::uint64_t maxPixels = kMaxPicturePixels);

// Everything both decoders check before handing bytes over: the frame size as above, and a
// scan count within kMaxJpegScans, so no file holds a decoder (and the worker, and the exit
// waiting for it) for longer than a real picture of that size would.
bool pictureAllowedForDecoding(std::span<const std::uint8_t> bytes,
                               std::uint64_t maxPixels = kMaxPicturePixels);
