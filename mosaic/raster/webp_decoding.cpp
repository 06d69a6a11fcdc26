#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <memory>

#include "mosaic/raster/picture_decoding.h"

namespace {

struct AnimDecoderDeleter {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

// An animation shows its first frame as composed on the canvas.
std::optional<Surface> decodeFirstFrame(std::span<const std::uint8_t> bytes, Surface picture) {
    WebPAnimDecoderOptions options;
    if (WebPAnimDecoderOptionsInit(&options) == 0) {
        return std::nullopt;
    }
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    const WebPData data{bytes.data(), bytes.size()};
    const std::unique_ptr<WebPAnimDecoder, AnimDecoderDeleter> decoder(
        WebPAnimDecoderNew(&data, &options));
    WebPAnimInfo info;
    std::uint8_t* frame = nullptr;
    int timestamp = 0;
    if (!decoder || WebPAnimDecoderGetInfo(decoder.get(), &info) == 0 ||
        info.canvas_width != static_cast<std::uint32_t>(picture.width) ||
        info.canvas_height != static_cast<std::uint32_t>(picture.height) ||
        WebPAnimDecoderGetNext(decoder.get(), &frame, &timestamp) == 0) {
        return std::nullopt;
    }
    std::memcpy(picture.pixels.data(), frame, picture.pixels.size() * sizeof(std::uint32_t));
    return picture;
}

}  // namespace

std::optional<PictureSize> readWebpSize(std::span<const std::uint8_t> bytes) {
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(bytes.data(), bytes.size(), &features) != VP8_STATUS_OK) {
        return std::nullopt;
    }
    return PictureSize{features.width, features.height};
}

std::optional<Surface> decodeWebp(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels) {
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(bytes.data(), bytes.size(), &features) != VP8_STATUS_OK ||
        !pictureSizeAcceptable(features.width, features.height, maxPixels)) {
        return std::nullopt;
    }
    Surface picture = Surface::uninitialised(features.width, features.height);
    if (picture.empty()) {
        return std::nullopt;
    }
    std::optional<Surface> decoded;
    if (features.has_animation != 0) {
        decoded = decodeFirstFrame(bytes, std::move(picture));
    } else if (WebPDecodeBGRAInto(bytes.data(), bytes.size(),
                                  reinterpret_cast<std::uint8_t*>(picture.pixels.data()),
                                  picture.pixels.size() * sizeof(std::uint32_t),
                                  picture.width * static_cast<int>(sizeof(std::uint32_t)))) {
        decoded = std::move(picture);
    }
    if (decoded) {
        flattenOverWhite(*decoded);
    }
    return decoded;
}
