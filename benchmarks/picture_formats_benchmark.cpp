// PNG and WebP decoding through the program's entry point against each library's own
// simple decode call into a new buffer, and a smooth cell copy of a large WebP against
// decoding all of it.

#include <benchmark/benchmark.h>
#include <png.h>
#include <webp/decode.h>

#include <cstring>
#include <memory>

#include "bench_pictures.h"
#include "mosaic/raster/picture_decoder.h"

namespace {

using bench::PhotoFormat;

const std::vector<std::uint8_t>& cachedPhoto(PhotoFormat format) {
    static const std::vector<std::uint8_t> made[] = {
        bench::photo(PhotoFormat::png, 1200, 800),
        bench::photo(PhotoFormat::lossyWebp, 1200, 800),
        bench::photo(PhotoFormat::losslessWebp, 1200, 800),
    };
    return made[static_cast<int>(format)];
}

PhotoFormat formatOf(const benchmark::State& state) {
    return static_cast<PhotoFormat>(state.range(0));
}

void formats(benchmark::internal::Benchmark* b) {
    b->ArgName("format");
    for (const PhotoFormat format :
         {PhotoFormat::png, PhotoFormat::lossyWebp, PhotoFormat::losslessWebp}) {
        b->Arg(static_cast<int>(format));
    }
    b->Unit(benchmark::kMillisecond);
}

void BM_DecodePictureFormat(benchmark::State& state) {
    const auto& bytes = cachedPhoto(formatOf(state));
    for (auto _ : state) {
        benchmark::DoNotOptimize(decodePicture(bytes));
    }
    if (!decodePicture(bytes)) {
        state.SkipWithError("the picture did not decode");
    }
}
BENCHMARK(BM_DecodePictureFormat)->Apply(formats);

// libpng's simplified reader into a new BGRA buffer, or WebPDecodeBGRA.
void decodeWithLibrary(PhotoFormat format, const std::vector<std::uint8_t>& bytes) {
    if (format != PhotoFormat::png) {
        int width = 0;
        int height = 0;
        std::uint8_t* pixels = WebPDecodeBGRA(bytes.data(), bytes.size(), &width, &height);
        benchmark::DoNotOptimize(pixels);
        WebPFree(pixels);
        return;
    }
    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    png_image_begin_read_from_memory(&image, bytes.data(), bytes.size());
    image.format = PNG_FORMAT_BGRA;
    auto pixels = std::make_unique_for_overwrite<std::uint8_t[]>(PNG_IMAGE_SIZE(image));
    png_image_finish_read(&image, nullptr, pixels.get(), 0, nullptr);
    benchmark::DoNotOptimize(pixels.get());
    png_image_free(&image);
}

void BM_LibraryDecodeBaseline(benchmark::State& state) {
    const auto& bytes = cachedPhoto(formatOf(state));
    for (auto _ : state) {
        decodeWithLibrary(formatOf(state), bytes);
    }
}
BENCHMARK(BM_LibraryDecodeBaseline)->Apply(formats);

const std::vector<std::uint8_t>& largeWebp() {
    static const std::vector<std::uint8_t> made = bench::photo(PhotoFormat::lossyWebp, 4096, 2730);
    return made;
}

// libwebp crops and scales while decoding; the copy averages its reduced output.
void BM_SmoothWebpCellCopy(benchmark::State& state) {
    const CellLook look{state.range(0) != 0, true, {}};
    for (auto _ : state) {
        benchmark::DoNotOptimize(decodePictureScaled(largeWebp(), 192, 216, look));
    }
    if (!decodePictureScaled(largeWebp(), 192, 216, look)) {
        state.SkipWithError("the picture did not decode");
    }
}
BENCHMARK(BM_SmoothWebpCellCopy)->ArgName("fill")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_WebPDecodeBGRABaseline(benchmark::State& state) {
    for (auto _ : state) {
        decodeWithLibrary(PhotoFormat::lossyWebp, largeWebp());
    }
}
BENCHMARK(BM_WebPDecodeBGRABaseline)->Unit(benchmark::kMillisecond);

}  // namespace
