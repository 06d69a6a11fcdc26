#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "mosaic/raster/cell_look.h"
#include "mosaic/raster/image_limits.h"
#include "mosaic/raster/picture_size.h"
#include "mosaic/raster/surface.h"

// Decodes JPEG, PNG or WebP bytes, told apart by their content, into a surface at the
// picture's natural size; an animation gives its first frame, and transparent pixels show
// over white. Gives no picture for bytes that cannot be decoded, for an empty input, for
// inputs larger than kMaxImageBytes, for pictures larger than kMaxPicturePixels, for bytes
// whose size cannot be read from their headers before decoding and for JPEG files of more
// scans than kMaxJpegScans (see pictureAllowedForDecoding). Safe to call on any thread.
std::optional<Surface> decodePicture(std::span<const std::uint8_t> bytes);

// decodePicture with another bound on the picture's pixel count.
std::optional<Surface> decodePictureWithin(std::span<const std::uint8_t> bytes,
                                           std::uint64_t maxPixels);

struct ScaledPicture {
    Surface picture;
    PictureSize naturalSize;
};

// The decoded picture's cell copy of width × height in that look, with the picture's natural
// size: in the default look exactly what stretchSurface makes of the natural-size decoding over
// a rectangle of that size, and in any look what makeCellCopy makes of it, except that a smooth
// copy may be averaged from a reduced-size decoding at least twice the cell's size. Gives none
// for whatever decodePicture refuses and for sizes below 1. Where the decoder allows it the
// natural-size picture is never held whole. Safe to call on any thread.
std::optional<ScaledPicture> decodePictureScaled(std::span<const std::uint8_t> bytes,
                                                 std::int32_t width, std::int32_t height,
                                                 const CellLook& look = {});

// The frame size written in a JPEG's start-of-frame header, without decoding anything;
// none when the bytes do not begin with a JPEG start-of-image marker, when scan data or the
// end of the image comes before a frame header, or when a segment is cut short. Stray bytes
// between segments are passed over the way libjpeg passes over them, so a frame header that
// libjpeg would find is found here too.
std::optional<PictureSize> readJpegSize(std::span<const std::uint8_t> bytes);

// The size the headers of a JPEG (readJpegSize), a PNG (its whole IHDR chunk) or a WebP (its
// canvas) declare, without decoding anything; none for other bytes or unreadable headers.
std::optional<PictureSize> readPictureSize(std::span<const std::uint8_t> bytes);

// The check made before any decoder sees the bytes: true only when readPictureSize finds a
// size and that size is within maxPixels. Bytes whose size cannot be told this way (another
// format, or no readable header) are refused rather than left to a decoder that would
// allocate the whole picture first.
bool pictureSizeAllowed(std::span<const std::uint8_t> bytes,
                        std::uint64_t maxPixels = kMaxPicturePixels);

// Everything checked before a decoder is handed bytes: the size as above, and for a JPEG a
// scan count within kMaxJpegScans, so no file holds a decoder (and the worker, and the exit
// waiting for it) for longer than a real picture of that size would.
bool pictureAllowedForDecoding(std::span<const std::uint8_t> bytes,
                               std::uint64_t maxPixels = kMaxPicturePixels);
