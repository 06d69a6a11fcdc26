// The paint of a full 1920 × 1080 wall of 50 tiles, a rescale of it, and the memory it holds,
// against pixman doing the same composites and against the memset + memcpy floor of a frame.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <pixman.h>

#include <cstring>
#include <memory>
#include <string>

#include "bench_pictures.h"
#include "mosaic/raster/picture_decoder.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/cell_copies.h"
#include "mosaic/wall/compositing.h"
#include "mosaic/wall/tile_grid.h"
#include "tests/support/app_state_reset.h"

namespace {

using bench::kClientHeight;
using bench::kClientWidth;

constexpr int kSourceSizes[][2] = {{600, 400}, {1200, 800}, {4096, 2730}};

void sourceSizes(benchmark::internal::Benchmark* b) {
    for (const auto& size : kSourceSizes) {
        b->Args({size[0], size[1]});
    }
}

void BM_PaintWall(benchmark::State& state) {
    bench::resetWall();
    bench::fillWall(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    waitForCellCopies();
    Surface client = Surface::filled(kClientWidth, kClientHeight);
    for (auto _ : state) {
        composeFrame(false);
        presentFrame(client, kClientWidth, kClientHeight);
        benchmark::DoNotOptimize(client.pixels.data());
    }
    resetAppState();
}
BENCHMARK(BM_PaintWall)->Apply(sourceSizes)->Unit(benchmark::kMillisecond);

void BM_PaintFloorBaseline(benchmark::State& state) {
    Surface back = Surface::filled(kClientWidth, kClientHeight);
    Surface client = Surface::filled(kClientWidth, kClientHeight);
    const std::size_t bytes = back.pixels.size() * sizeof(std::uint32_t);
    for (auto _ : state) {
        std::memset(back.pixels.data(), 0, bytes);
        benchmark::ClobberMemory();
        std::memcpy(client.pixels.data(), back.pixels.data(), bytes);
        benchmark::DoNotOptimize(client.pixels.data());
    }
}
BENCHMARK(BM_PaintFloorBaseline)->Unit(benchmark::kMillisecond);

struct PixmanImageDeleter {
    void operator()(pixman_image_t* image) const { pixman_image_unref(image); }
};
using PixmanImage = std::unique_ptr<pixman_image_t, PixmanImageDeleter>;

PixmanImage pixmanOver(Surface& surface, pixman_format_code_t format) {
    return PixmanImage(pixman_image_create_bits(format, surface.width, surface.height,
                                                surface.pixels.data(), surface.width * 4));
}

void scaleNearest(pixman_image_t* source, int fromWidth, int fromHeight, int toWidth,
                  int toHeight) {
    pixman_transform_t transform;
    pixman_transform_init_scale(&transform, pixman_double_to_fixed(double(fromWidth) / toWidth),
                                pixman_double_to_fixed(double(fromHeight) / toHeight));
    pixman_image_set_transform(source, &transform);
    pixman_image_set_filter(source, PIXMAN_FILTER_NEAREST, nullptr, 0);
}

// The same frame with pixman: black, 50 nearest-neighbour scaled copies of a natural-size
// picture (one picture for all 50, which only helps pixman's cache), the red frames as an
// alpha-keyed scaled OVER, and the copy of the frame to the client.
void BM_PaintPixmanBaseline(benchmark::State& state) {
    bench::resetWall();
    bench::fillWall(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    auto natural = decodePicture(
        bench::cachedPhotoJpeg(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
    Surface mark = appState().newImageMark;
    const std::uint32_t key = mark.pixels[0];
    for (auto& pixel : mark.pixels) {
        pixel = pixel == key ? 0u : (pixel | 0xFF000000u);
    }
    Surface back = Surface::filled(kClientWidth, kClientHeight);
    Surface client = Surface::filled(kClientWidth, kClientHeight);
    const PixmanImage source = pixmanOver(*natural, PIXMAN_x8r8g8b8);
    const PixmanImage markImage = pixmanOver(mark, PIXMAN_a8r8g8b8);
    const PixmanImage backImage = pixmanOver(back, PIXMAN_x8r8g8b8);
    const PixmanImage clientImage = pixmanOver(client, PIXMAN_x8r8g8b8);
    const AppState& app = appState();
    scaleNearest(source.get(), natural->width, natural->height, app.tileWidth, app.tileHeight);
    scaleNearest(markImage.get(), mark.width, mark.height, app.tileWidth, app.tileHeight);
    const pixman_color_t black{0, 0, 0, 0xFFFF};
    const pixman_box32_t whole{0, 0, kClientWidth, kClientHeight};
    for (auto _ : state) {
        pixman_image_fill_boxes(PIXMAN_OP_SRC, backImage.get(), &black, 1, &whole);
        for (const Tile& tile : *gridTiles()) {
            pixman_image_composite32(PIXMAN_OP_SRC, source.get(), nullptr, backImage.get(), 0, 0, 0,
                                     0, tile.rect.left, tile.rect.top, tile.rect.width(),
                                     tile.rect.height());
        }
        for (const Tile& tile : *gridTiles()) {
            if (tile.newMark == kNewMarkSet) {
                pixman_image_composite32(PIXMAN_OP_OVER, markImage.get(), nullptr, backImage.get(),
                                         0, 0, 0, 0, tile.rect.left, tile.rect.top,
                                         tile.rect.width(), tile.rect.height());
            }
        }
        pixman_image_composite32(PIXMAN_OP_SRC, backImage.get(), nullptr, clientImage.get(), 0, 0,
                                 0, 0, 0, 0, kClientWidth, kClientHeight);
        benchmark::DoNotOptimize(client.pixels.data());
    }
    resetAppState();
}
BENCHMARK(BM_PaintPixmanBaseline)->Apply(sourceSizes)->Unit(benchmark::kMillisecond);

// The first paint after a rescale from 1500 × 750 back to 1920 × 1080, while the copy threads
// start on the exact copies: wall-clock time, since they compete for the cores.
void BM_RescaleNextPaint(benchmark::State& state) {
    bench::resetWall();
    bench::fillWall(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    Surface client = Surface::filled(kClientWidth, kClientHeight);
    for (auto _ : state) {
        state.PauseTiming();
        rescaleGrid(1500, 750);
        waitForCellCopies();
        state.ResumeTiming();
        rescaleGrid(kClientWidth, kClientHeight);
        composeFrame(false);
        presentFrame(client, kClientWidth, kClientHeight);
        benchmark::DoNotOptimize(client.pixels.data());
        state.PauseTiming();
        waitForCellCopies();
        state.ResumeTiming();
    }
    resetAppState();
}
// Each iteration waits for two full sets of exact copies untimed, so the count is fixed.
BENCHMARK(BM_RescaleNextPaint)
    ->Apply(sourceSizes)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(8);

// From the rescale until every tile holds its exact copy again.
void BM_RescaleSettle(benchmark::State& state) {
    bench::resetWall();
    bench::fillWall(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        state.PauseTiming();
        rescaleGrid(1500, 750);
        waitForCellCopies();
        state.ResumeTiming();
        rescaleGrid(kClientWidth, kClientHeight);
        waitForCellCopies();
    }
    resetAppState();
}
BENCHMARK(BM_RescaleSettle)
    ->Apply(sourceSizes)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// Memory of a full wall above the empty grid, and again after 1000 placement passes of one
// tile each (the grid wraps 20 times). The natural picture the worker decodes is held
// throughout and counted in neither.
void BM_WallMemory(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const auto& bytes = bench::cachedPhotoJpeg(width, height);
    const auto natural = decodePicture(bytes);
    for (auto _ : state) {
        bench::resetWall();
        malloc_trim(0);
        const std::int64_t residentBefore = bench::residentBytes();
        const std::int64_t allocatedBefore = bench::allocatedBytes();
        bench::fillWall(width, height);
        waitForCellCopies();
        const std::int64_t residentFull = bench::residentBytes() - residentBefore;
        const std::int64_t allocatedFull = bench::allocatedBytes() - allocatedBefore;
        for (int pass = 0; pass < 1000; ++pass) {
            enqueueTile("http://bench.example/pass" + std::to_string(pass) + ".jpg",
                        static_cast<std::int32_t>(bytes.size()) + 100 + pass, *natural, bytes);
            appState().tilesPending = 1;
            composeFrame(true);
        }
        const std::int64_t residentAfter = bench::residentBytes() - residentBefore;
        const std::int64_t allocatedAfter = bench::allocatedBytes() - allocatedBefore;
        constexpr double kMiB = 1024.0 * 1024.0;
        state.counters["wall_rss_MiB"] = residentFull / kMiB;
        state.counters["wall_alloc_MiB"] = allocatedFull / kMiB;
        state.counters["after1000_rss_MiB"] = residentAfter / kMiB;
        state.counters["after1000_alloc_MiB"] = allocatedAfter / kMiB;
        state.counters["jpeg_KiB"] = static_cast<double>(bytes.size()) / 1024.0;
    }
    resetAppState();
}
BENCHMARK(BM_WallMemory)
    ->Args({1200, 800})
    ->Args({4096, 2730})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
