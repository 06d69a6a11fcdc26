#include "bench_pictures.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <utility>

#include "mosaic/raster/picture_decoder.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/compositing.h"
#include "mosaic/wall/tile_grid.h"
#include "tests/support/app_state_reset.h"
#include "tests/support/mark_surfaces.h"
#include "tests/support/test_jpeg.h"
#include "tests/support/test_pictures.h"

namespace bench {

namespace {

// Smooth shapes with grain, so the encoder and the decoder do a photograph's work; opaque
// 0xFFRRGGBB, taken row by row.
class PhotoColours {
  public:
    PhotoColours(int width, int height, unsigned seed)
        : random_(seed), width_(width), height_(height), seed_(seed) {}
    std::uint32_t operator()(int x, int row) {
        const double y = static_cast<double>(row) / height_;
        const double u = static_cast<double>(x) / width_;
        const double shapes[3] = {
            128 + 90 * std::sin(7 * u + 3 * y + seed_),
            128 + 80 * std::cos(5 * y - 4 * u * u),
            128 + 70 * std::sin(11 * u * y + 2),
        };
        std::uint32_t colour = 0xFF;
        for (const double shape : shapes) {
            const int grain = static_cast<int>(random_() % 17) - 8;
            colour = (colour << 8) | static_cast<std::uint32_t>(
                                         std::clamp(static_cast<int>(shape) + grain, 0, 255));
        }
        return colour;
    }

  private:
    std::mt19937 random_;
    int width_;
    int height_;
    unsigned seed_;
};

}  // namespace

std::vector<std::uint8_t> photoJpeg(int width, int height, unsigned seed) {
    PhotoColours colours(width, height, seed);
    return testjpeg::encode(width, height,
                            [&colours](int x, int y) { return colours(x, y) & 0x00FFFFFFu; },
                            {.quality = 85});
}

std::vector<std::uint8_t> photo(PhotoFormat format, int width, int height) {
    PhotoColours colours(width, height, 1);
    const auto colourAt = [&colours](int x, int y) { return colours(x, y); };
    switch (format) {
        case PhotoFormat::png:
            return testpictures::png(width, height, colourAt);
        case PhotoFormat::lossyWebp:
            return testpictures::webp(width, height, colourAt, false);
        case PhotoFormat::losslessWebp:
            return testpictures::webp(width, height, colourAt, true);
    }
    return {};
}

const std::vector<std::uint8_t>& cachedPhotoJpeg(int width, int height) {
    static std::map<std::pair<int, int>, std::vector<std::uint8_t>> made;
    auto& bytes = made[{width, height}];
    if (bytes.empty()) {
        bytes = photoJpeg(width, height);
    }
    return bytes;
}

void resetWall() {
    resetAppState();
    createGroupCanvases();
    createMarkSurfaces();
    rescaleGrid(kClientWidth, kClientHeight);
}

void fillWall(int width, int height) {
    const auto& bytes = cachedPhotoJpeg(width, height);
    const auto picture = decodePicture(bytes);
    for (std::int32_t i = 0; i < kGridCells; ++i) {
        enqueueTile("http://bench.example/" + std::to_string(i) + ".jpg",
                    static_cast<std::int32_t>(bytes.size()) + i, *picture, bytes);
    }
    appState().tilesPending = 1;
    composeFrame(true);
    std::int32_t i = 0;
    for (Tile& tile : *gridTiles()) {
        tile.newMark = i++ % 5 == 0 ? kNewMarkSet : 0;
    }
}

std::int64_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::int64_t pages = 0;
    std::int64_t resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

std::int64_t allocatedBytes() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<std::int64_t>(info.uordblks + info.hblkhd);
}

}  // namespace bench
