#pragma once

// Makes JPEG files in memory with libjpeg's compressor, for the tests and the benchmarks.

#include <cstdio>

#include <jpeglib.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace testjpeg {

struct Options {
    bool grayscale = false;
    bool progressive = false;
    int quality = 95;
};

// A width × height JPEG whose pixel (x, y) has the colour colourAt(x, y) (0x00RRGGBB).
template <typename ColourAt>
std::vector<std::uint8_t> encode(int width, int height, ColourAt colourAt, Options options = {}) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = options.grayscale ? 1 : 3;
    cinfo.in_color_space = options.grayscale ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (options.progressive) {
        jpeg_simple_progression(&cinfo);
    }
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * cinfo.input_components);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = colourAt(x, y);
            if (options.grayscale) {
                row[x] = static_cast<unsigned char>(c & 0xFF);
            } else {
                row[3 * x] = static_cast<unsigned char>((c >> 16) & 0xFF);
                row[3 * x + 1] = static_cast<unsigned char>((c >> 8) & 0xFF);
                row[3 * x + 2] = static_cast<unsigned char>(c & 0xFF);
            }
        }
        JSAMPROW rowPointer = row.data();
        jpeg_write_scanlines(&cinfo, &rowPointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<std::uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

inline std::vector<std::uint8_t> solid(int width, int height, std::uint32_t colour,
                                       Options options = {}) {
    return encode(
        width, height, [colour](int, int) { return colour; }, options);
}

}  // namespace testjpeg
