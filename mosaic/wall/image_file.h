#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "mosaic/raster/picture_decoder.h"
#include "mosaic/wall/canvas.h"

// A tile's image file as read back at start-up: its bytes as stored, and its picture
// decoded at a cell's size.
struct CellImage {
    std::vector<std::uint8_t> bytes;
    ScaledPicture picture;
};

// The file's bytes; none when it is missing, empty, larger than an image may be, or unreadable.
std::optional<std::vector<std::uint8_t>> readImageFile(const std::filesystem::path& path);

// The file's bytes and its picture at cellWidth × cellHeight; none when the file cannot be
// read or does not decode.
std::optional<CellImage> loadCellImage(const std::filesystem::path& path, std::int32_t cellWidth,
                                       std::int32_t cellHeight);

// Creates or truncates path and writes bytes, handed to the disk. False (the partial file
// removed) when bytes are empty or anything fails.
bool writeImageFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// Gives the tile the image's bytes, its byte size and its image canvas with the cell copy
// (makeImageCanvasFromCellCopy); false, tile unchanged, when the copy is refused.
bool giveCellImage(Tile& tile, CellImage image);
