#include "mosaic/wall/image_file.h"

#include <cstdio>
#include <system_error>
#include <utility>

#include "mosaic/raster/image_limits.h"
#include "mosaic/wall/tile_grid.h"
#include "settings/file_open.h"

std::optional<std::vector<std::uint8_t>> readImageFile(const std::filesystem::path& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size == 0 || size > kMaxImageBytes) {
        return std::nullopt;
    }
    UniqueFile file = openFile(path, "rb");
    if (!file) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<CellImage> loadCellImage(const std::filesystem::path& path, std::int32_t cellWidth,
                                       std::int32_t cellHeight) {
    auto bytes = readImageFile(path);
    if (!bytes) {
        return std::nullopt;
    }
    auto picture = decodePictureScaled(*bytes, cellWidth, cellHeight);
    if (!picture) {
        return std::nullopt;
    }
    return CellImage{std::move(*bytes), std::move(*picture)};
}

bool writeImageFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    UniqueFile file = openFile(path, "wb");
    if (!file) {
        return false;
    }
    const bool written =
        !bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    if (!closeFile(std::move(file)) || !written) {
        std::error_code error;
        std::filesystem::remove(path, error);
        return false;
    }
    return true;
}

bool giveCellImage(Tile& tile, CellImage image) {
    if (!makeImageCanvasFromCellCopy(tile, image.picture.naturalSize.width,
                                     image.picture.naturalSize.height,
                                     std::move(image.picture.picture))) {
        return false;
    }
    tile.byteSize = static_cast<std::int32_t>(image.bytes.size());
    tile.imageBytes = std::move(image.bytes);
    return true;
}
