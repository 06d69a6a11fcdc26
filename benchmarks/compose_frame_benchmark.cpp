// Composing and presenting a full frame of 50 tiles (600 × 400 images in 150 × 150 cells,
// 1500 × 750 back buffer and client), against a naive floating-point stretch of the same frame.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "mosaic/app_state.h"
#include "mosaic/compositing.h"
#include "mosaic/marks.h"
#include "mosaic/tile_grid.h"

namespace {

void setUpFullGrid() {
    resetAppState();
    createGroupCanvases();
    createMarkSurfaces();
    rescaleGrid(1500, 750);
    for (std::int32_t i = 0; i < kGridCells; ++i) {
        Surface picture = Surface::filled(600, 400);
        for (std::size_t p = 0; p < picture.pixels.size(); ++p) {
            picture.pixels[p] = static_cast<std::uint32_t>(p * 2654435761u) & 0xFFFFFFu;
        }
        Tile tile;
        tile.name = "http://bench.example/" + std::to_string(i) + ".jpg";
        tile.rect = cellRect(Cell{i % kGridColumns, i / kGridColumns});
        tile.replaceable = i % 7 == 0 ? 0 : 1;
        tile.newMark = i % 5 == 0 ? kNewMarkSet : 0;
        makeImageCanvas(tile, std::move(picture));
        gridTiles()->push_back(std::move(tile));
    }
}

// Per pixel: floating-point source position, bounds checks on both sides.
void naiveStretch(const Surface& src, Rect from, Surface& dst, Rect to, bool keyed,
                  std::uint32_t key) {
    const double scaleX = static_cast<double>(from.width()) / to.width();
    const double scaleY = static_cast<double>(from.height()) / to.height();
    for (std::int32_t dy = 0; dy < to.height(); ++dy) {
        for (std::int32_t dx = 0; dx < to.width(); ++dx) {
            const auto sx = static_cast<std::int32_t>(from.left + (dx + 0.5) * scaleX);
            const auto sy = static_cast<std::int32_t>(from.top + (dy + 0.5) * scaleY);
            const std::int32_t x = to.left + dx;
            const std::int32_t y = to.top + dy;
            if (sx < 0 || sy < 0 || sx >= src.width || sy >= src.height || x < 0 || y < 0 ||
                x >= dst.width || y >= dst.height) {
                continue;
            }
            const std::uint32_t colour = src.pixels[static_cast<std::size_t>(sy) * src.width + sx];
            if (!keyed || colour != key) {
                dst.pixels[static_cast<std::size_t>(y) * dst.width + x] = colour;
            }
        }
    }
}

void naiveComposeAndPresent(Surface& client) {
    AppState& state = appState();
    Surface& back = state.backBuffer;
    for (auto& pixel : back.pixels) {
        pixel = kBlack;
    }
    for (const Tile& tile : *gridTiles()) {
        const Canvas* image = imageCanvasOf(tile);
        naiveStretch(*image->surface, image->rect, back, tile.rect, false, 0);
    }
    for (const Tile& tile : *gridTiles()) {
        if (tile.newMark == kNewMarkSet) {
            const Surface& mark = state.newImageMark;
            naiveStretch(mark, mark.bounds(), back, tile.rect, true, mark.pixels[0]);
        }
    }
    naiveStretch(back, Rect{0, 0, 10 * state.tileWidth, 5 * state.tileHeight}, client,
                 Rect{0, 0, state.backBufferWidth, state.backBufferHeight}, false, 0);
}

void BM_ComposeAndPresentFrame(benchmark::State& state) {
    setUpFullGrid();
    Surface client = Surface::filled(1500, 750);
    for (auto _ : state) {
        composeFrame(false);
        presentFrame(client, 1500, 750);
        benchmark::DoNotOptimize(client.pixels.data());
    }
    resetAppState();
}
BENCHMARK(BM_ComposeAndPresentFrame)->Unit(benchmark::kMillisecond);

void BM_NaiveFloatStretchBaseline(benchmark::State& state) {
    setUpFullGrid();
    Surface client = Surface::filled(1500, 750);
    for (auto _ : state) {
        naiveComposeAndPresent(client);
        benchmark::DoNotOptimize(client.pixels.data());
    }
    resetAppState();
}
BENCHMARK(BM_NaiveFloatStretchBaseline)->Unit(benchmark::kMillisecond);

}  // namespace
