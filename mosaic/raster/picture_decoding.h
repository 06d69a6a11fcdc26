#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "mosaic/raster/cell_look.h"
#include "mosaic/raster/image_limits.h"
#include "mosaic/raster/picture_size.h"
#include "mosaic/raster/surface.h"

// What one decoding makes: the picture at its natural size, or, when targetWidth and
// targetHeight are set, its cell copy of that size in the given look (makeCellCopy).
struct Decoding {
    std::uint64_t maxPixels = kMaxPicturePixels;
    std::int32_t targetWidth = 0;
    std::int32_t targetHeight = 0;
    CellLook look;
    PictureSize natural;
    Surface out;
    PixelBuffer sourceRow;
    std::vector<std::int32_t> sourceColumns;
    std::vector<std::int32_t> sourceRows;
};

// Each codec is given only bytes of its own format that passed pictureAllowedForDecoding,
// and checks the size it reads itself against decoding.maxPixels before allocating pixels.
// The JPEG codec makes the cell copy itself, the WebP codec its smooth cell copy
// (decodeWebpCellCopy); otherwise they give the natural size.
bool decodeJpeg(std::span<const std::uint8_t> bytes, Decoding& decoding);
std::optional<Surface> decodePng(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels);
std::optional<Surface> decodeWebp(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels);
bool decodeWebpCellCopy(std::span<const std::uint8_t> bytes, Decoding& decoding);

// The natural-size picture a codec gave, made into the cell copy asked for (if any).
bool adoptNatural(std::optional<Surface> natural, Decoding& decoding);

// Replaces decoding.out, a reduced-size decoding of the decodedPart of the natural picture,
// with the average of the cell's shown part of it.
void averageReduced(Decoding& decoding, Rect decodedPart);

// The canvas size a WebP's headers declare, without decoding anything.
std::optional<PictureSize> readWebpSize(std::span<const std::uint8_t> bytes);

// Turns decoded 0xAARRGGBB pixels into 0x00RRGGBB ones laid over white, so a transparent
// picture shows as it does on a light page.
void flattenOverWhite(Surface& picture);
