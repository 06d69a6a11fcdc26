// The perceptual hash that every fetched picture gets, against the decode it follows
// (BM_DecodePicture/1200/800 in decode_benchmark.cpp, the same bytes).

#include <benchmark/benchmark.h>

#include <optional>

#include "bench_pictures.h"
#include "mosaic/raster/picture_decoder.h"
#include "mosaic/raster/picture_hash.h"

namespace {

void BM_PictureHash(benchmark::State& state) {
    const std::optional<Surface> picture = decodePicture(
        bench::cachedPhotoJpeg(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
    if (!picture) {
        state.SkipWithError("the picture did not decode");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(pictureHash(*picture));
    }
}
BENCHMARK(BM_PictureHash)->Args({1200, 800})->Unit(benchmark::kMillisecond);

}  // namespace
