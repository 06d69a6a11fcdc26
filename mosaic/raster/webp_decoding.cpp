#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
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

namespace {

// The smallest length, up to the decoded one, at which the shown part keeps twice the cell's.
std::int32_t reducedLength(std::int32_t decoded, std::int32_t shown, std::int32_t cell) {
    const std::int64_t wanted = (std::int64_t{2} * cell * decoded + shown - 1) / shown;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(wanted, 1, decoded));
}

// libwebp crops and scales while it decodes, so only the shown part, at a reduced size, is
// ever held. Its crop starts on even coordinates.
bool decodeReduced(std::span<const std::uint8_t> bytes, WebPDecoderConfig& config,
                   Decoding& decoding) {
    const Rect part =
        shownPart(decoding.natural, decoding.targetWidth, decoding.targetHeight, decoding.look);
    const Rect decoded{part.left & ~1, part.top & ~1, part.right, part.bottom};
    const std::int32_t width = reducedLength(decoded.width(), part.width(), decoding.targetWidth);
    const std::int32_t height =
        reducedLength(decoded.height(), part.height(), decoding.targetHeight);
    WebPDecoderOptions& options = config.options;
    options.use_cropping = 1;
    options.crop_left = decoded.left;
    options.crop_top = decoded.top;
    options.crop_width = decoded.width();
    options.crop_height = decoded.height();
    options.use_scaling = width != decoded.width() || height != decoded.height() ? 1 : 0;
    options.scaled_width = width;
    options.scaled_height = height;
    // Averaged over at least two pixels each way, the deblocking filter's work hardly shows.
    options.bypass_filtering = 1;
    decoding.out = Surface::uninitialised(width, height);
    if (decoding.out.empty()) {
        return false;
    }
    WebPDecBuffer& output = config.output;
    output.colorspace = MODE_BGRA;
    output.is_external_memory = 1;
    output.u.RGBA.rgba = reinterpret_cast<std::uint8_t*>(decoding.out.pixels.data());
    output.u.RGBA.stride = width * static_cast<int>(sizeof(std::uint32_t));
    output.u.RGBA.size = decoding.out.pixels.size() * sizeof(std::uint32_t);
    const bool ok = WebPDecode(bytes.data(), bytes.size(), &config) == VP8_STATUS_OK;
    WebPFreeDecBuffer(&output);
    if (!ok) {
        return false;
    }
    flattenOverWhite(decoding.out);
    averageReduced(decoding, decoded);
    return !decoding.out.empty();
}

}  // namespace

bool decodeWebpCellCopy(std::span<const std::uint8_t> bytes, Decoding& decoding) {
    WebPDecoderConfig config;
    if (WebPInitDecoderConfig(&config) == 0 ||
        WebPGetFeatures(bytes.data(), bytes.size(), &config.input) != VP8_STATUS_OK ||
        !pictureSizeAcceptable(config.input.width, config.input.height, decoding.maxPixels)) {
        return false;
    }
    // An animation's first frame is composed on the canvas at its natural size.
    if (config.input.has_animation != 0) {
        return adoptNatural(decodeWebp(bytes, decoding.maxPixels), decoding);
    }
    decoding.natural = PictureSize{config.input.width, config.input.height};
    return decodeReduced(bytes, config, decoding);
}
