#include "bench_pictures.h"

#include <cstdio>

#include <jpeglib.h>
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

#include "mosaic/app_state.h"
#include "mosaic/compositing.h"
#include "mosaic/marks.h"
#include "mosaic/picture_decoder.h"
#include "mosaic/tile_grid.h"

namespace bench {

std::vector<std::uint8_t> photoJpeg(int width, int height, unsigned seed) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 85, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::mt19937 random(seed);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const double y = static_cast<double>(cinfo.next_scanline) / height;
        for (int x = 0; x < width; ++x) {
            const double u = static_cast<double>(x) / width;
            const double shapes[3] = {
                128 + 90 * std::sin(7 * u + 3 * y + seed),
                128 + 80 * std::cos(5 * y - 4 * u * u),
                128 + 70 * std::sin(11 * u * y + 2),
            };
            for (int c = 0; c < 3; ++c) {
                const int grain = static_cast<int>(random() % 17) - 8;
                row[3 * x + c] = static_cast<unsigned char>(
                    std::clamp(static_cast<int>(shapes[c]) + grain, 0, 255));
            }
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<std::uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
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
