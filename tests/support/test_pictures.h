#pragma once

// Makes PNG and WebP files in memory with the libraries' own encoders, for the tests.

#include <png.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace testpictures {

using Bytes = std::vector<std::uint8_t>;

// Pixels as the encoders take them: B, G, R, A bytes of 0xAARRGGBB values.
template <typename ColourAt>
std::vector<std::uint32_t> bgra(int width, int height, ColourAt colourAt) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels.push_back(colourAt(x, y));
        }
    }
    return pixels;
}

// A PNG whose pixel (x, y) is colourAt(x, y) as 0xAARRGGBB.
template <typename ColourAt>
Bytes png(int width, int height, ColourAt colourAt) {
    const auto pixels = bgra(width, height, colourAt);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_BGRA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
    Bytes out(size);
    if (png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr) == 0) {
        return {};
    }
    out.resize(size);
    return out;
}

// A WebP of that picture, lossless or at quality 95.
template <typename ColourAt>
Bytes webp(int width, int height, ColourAt colourAt, bool lossless) {
    const auto pixels = bgra(width, height, colourAt);
    const auto* raw = reinterpret_cast<const std::uint8_t*>(pixels.data());
    std::uint8_t* encoded = nullptr;
    const std::size_t size = lossless
                                 ? WebPEncodeLosslessBGRA(raw, width, height, width * 4, &encoded)
                                 : WebPEncodeBGRA(raw, width, height, width * 4, 95.0f, &encoded);
    Bytes out(encoded, encoded + size);
    WebPFree(encoded);
    return out;
}

// A lossless animated WebP of solid frames, one colour each (0xAARRGGBB), 100 ms apart.
inline Bytes animatedWebp(int width, int height, const std::vector<std::uint32_t>& colours) {
    WebPAnimEncoderOptions options;
    WebPAnimEncoderOptionsInit(&options);
    WebPAnimEncoder* encoder = WebPAnimEncoderNew(width, height, &options);
    WebPConfig config;
    WebPConfigInit(&config);
    config.lossless = 1;
    int timestamp = 0;
    for (const std::uint32_t colour : colours) {
        const std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, colour);
        WebPPicture frame;
        WebPPictureInit(&frame);
        frame.use_argb = 1;
        frame.width = width;
        frame.height = height;
        WebPPictureImportBGRA(&frame, reinterpret_cast<const std::uint8_t*>(pixels.data()),
                              width * 4);
        WebPAnimEncoderAdd(encoder, &frame, timestamp, &config);
        WebPPictureFree(&frame);
        timestamp += 100;
    }
    WebPAnimEncoderAdd(encoder, nullptr, timestamp, nullptr);
    WebPData data;
    WebPDataInit(&data);
    WebPAnimEncoderAssemble(encoder, &data);
    Bytes out(data.bytes, data.bytes + data.size);
    WebPDataClear(&data);
    WebPAnimEncoderDelete(encoder);
    return out;
}

}  // namespace testpictures
