// Decoding one picture against libjpeg-turbo's one-call decoder into a new buffer, and the
// start-up load of 50 pinned tiles against 50 plain decodes one after another.

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "bench_pictures.h"
#include "mosaic/raster/picture_decoder.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/pinned_tiles.h"
#include "mosaic/wall/tile_grid.h"
#include "tests/support/app_state_reset.h"

namespace {

struct TjDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};

// What tjDecompress2 costs for the same bytes: a new buffer (not cleared) and one call.
void decodeWithTurbo(tjhandle handle, const std::vector<std::uint8_t>& bytes) {
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourspace = 0;
    tjDecompressHeader3(handle, bytes.data(), static_cast<unsigned long>(bytes.size()), &width,
                        &height, &subsampling, &colourspace);
    auto pixels = std::make_unique_for_overwrite<unsigned char[]>(static_cast<std::size_t>(width) *
                                                                  height * 4);
    tjDecompress2(handle, bytes.data(), static_cast<unsigned long>(bytes.size()), pixels.get(),
                  width, 0, height, TJPF_BGRX, 0);
    benchmark::DoNotOptimize(pixels.get());
}

void BM_DecodePicture(benchmark::State& state) {
    const auto& bytes =
        bench::cachedPhotoJpeg(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(decodePicture(bytes));
    }
}
BENCHMARK(BM_DecodePicture)->Args({1200, 800})->Args({4096, 2730})->Unit(benchmark::kMillisecond);

void BM_TjDecompress2Baseline(benchmark::State& state) {
    const auto& bytes =
        bench::cachedPhotoJpeg(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const std::unique_ptr<void, TjDeleter> handle(tjInitDecompress());
    for (auto _ : state) {
        decodeWithTurbo(handle.get(), bytes);
    }
}
BENCHMARK(BM_TjDecompress2Baseline)
    ->Args({1200, 800})
    ->Args({4096, 2730})
    ->Unit(benchmark::kMillisecond);

// A smooth cell copy, which decodes at a reduced size and averages that.
void BM_SmoothCellCopy(benchmark::State& state) {
    const auto& bytes =
        bench::cachedPhotoJpeg(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(decodePictureScaled(bytes, 192, 216, CellLook{false, true, {}}));
    }
}
BENCHMARK(BM_SmoothCellCopy)->Args({4096, 2730})->Unit(benchmark::kMillisecond);

// A working folder with 50 pinned 1200 × 800 tiles, each its own file.
std::filesystem::path pinnedWorkFolder() {
    const auto root = std::filesystem::temp_directory_path() / "tilvane_bench_pins";
    std::filesystem::create_directories(root / "txts");
    std::filesystem::create_directories(root / "kotei_tiles");
    std::ofstream list(root / "txts" / "kotei_jpgs.txt");
    for (int i = 0; i < kGridCells; ++i) {
        // Built piece by piece: GCC 12 misreads "p" + ... at -O3 as an overlapping copy.
        std::string file = std::to_string(i);
        file.insert(0, 1, 'p');
        file += ".jpg";
        list << "name=http://bench.example/" << file << ",x=" << i % kGridColumns
             << ",y=" << i / kGridColumns << "\n";
        const auto bytes = bench::photoJpeg(1200, 800, static_cast<unsigned>(i + 1));
        std::ofstream(root / "kotei_tiles" / file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    return root;
}

const std::filesystem::path& pinnedWork() {
    static const std::filesystem::path root = pinnedWorkFolder();
    return root;
}

void BM_LoadFiftyPinnedTiles(benchmark::State& state) {
    const auto& root = pinnedWork();
    for (auto _ : state) {
        resetAppState();
        appState().workingRoot = root;
        createGroupCanvases();
        loadPinnedTiles(pinnedListPath());
        benchmark::DoNotOptimize(gridTiles()->size());
    }
    if (gridTiles()->size() != static_cast<std::size_t>(kGridCells)) {
        state.SkipWithError("not every pinned tile loaded");
    }
    resetAppState();
}
BENCHMARK(BM_LoadFiftyPinnedTiles)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FiftyPlainDecodesBaseline(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const auto& bytes = bench::cachedPhotoJpeg(width, height);
    const std::unique_ptr<void, TjDeleter> handle(tjInitDecompress());
    for (auto _ : state) {
        for (int i = 0; i < kGridCells; ++i) {
            decodeWithTurbo(handle.get(), bytes);
        }
    }
}
BENCHMARK(BM_FiftyPlainDecodesBaseline)
    ->Args({1200, 800})
    ->Args({4096, 2730})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

}  // namespace
