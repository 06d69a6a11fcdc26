#pragma once

// Shared set-up for tests that work on the process-wide mosaic state.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "mosaic/raster/surface.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/shell_hooks.h"
#include "mosaic/wall/tile_grid.h"
#include "settings/option_store.h"
#include "tests/support/app_state_reset.h"

namespace gridtest {

// A picture whose every pixel names its own coordinates, so a stretched copy shows which
// source pixel each destination pixel took.
inline std::uint32_t coordinateColour(std::int32_t x, std::int32_t y) {
    return (static_cast<std::uint32_t>(x) << 12) | static_cast<std::uint32_t>(y);
}

inline Surface coordinatePicture(std::int32_t width, std::int32_t height) {
    Surface picture = Surface::filled(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            picture.pixels[static_cast<std::size_t>(y * width + x)] = coordinateColour(x, y);
        }
    }
    return picture;
}

// Nearest neighbour by the pixel centre, in floating point: the source coordinate shown by
// destination offset d of a span of dstLength taken from srcLength pixels.
inline std::int32_t centreSample(std::int32_t d, std::int32_t srcLength, std::int32_t dstLength) {
    return static_cast<std::int32_t>((d + 0.5) * srcLength / dstLength);
}

// Queues a tile of a solid colour; the byte size defaults to something unique per name.
inline void queueSolidTile(const std::string& url, std::uint32_t colour, std::int32_t width = 4,
                           std::int32_t height = 4, std::int32_t byteSize = -1) {
    const std::int32_t size =
        byteSize >= 0 ? byteSize : static_cast<std::int32_t>(url.size()) + 1000;
    ASSERT_TRUE(enqueueTile(url, size, Surface::filled(width, height, colour),
                            std::vector<std::uint8_t>(4, 0xAB)));
}

// Puts a pinned tile straight into a cell of the grid.
inline Tile& addGridTile(const std::string& url, Cell cell, bool pinned,
                         std::uint32_t colour = 0x123456) {
    Tile tile;
    tile.name = url;
    tile.rect = cellRect(cell);
    tile.replaceable = pinned ? 0 : 1;
    tile.byteSize = 10;
    tile.imageBytes = {1, 2, 3};
    EXPECT_TRUE(makeImageCanvas(tile, Surface::filled(4, 4, colour)));
    gridTiles()->push_back(std::move(tile));
    return gridTiles()->back();
}

inline std::vector<std::string> namesOfGrid() {
    std::vector<std::string> names;
    for (const Tile& tile : *gridTiles()) {
        names.push_back(tile.name);
    }
    return names;
}

inline std::vector<Cell> cellsOfGrid() {
    std::vector<Cell> cells;
    const AppState& state = appState();
    for (const Tile& tile : *gridTiles()) {
        cells.push_back(Cell{tile.rect.left / state.tileWidth, tile.rect.top / state.tileHeight});
    }
    return cells;
}

class MosaicTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetAppState();
        clearOptions();
        setShellHooks({});
        createGroupCanvases();
    }
    void TearDown() override {
        setShellHooks({});
        clearOptions();
        resetAppState();
    }
};

}  // namespace gridtest
