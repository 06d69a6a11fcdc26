#include <png.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

#include "mosaic/raster/picture_decoding.h"

namespace {

// The simplified reader's state, let go however the reading ends.
class PngImage {
  public:
    PngImage() {
        std::memset(&image_, 0, sizeof(image_));
        image_.version = PNG_IMAGE_VERSION;
    }
    ~PngImage() { png_image_free(&image_); }
    PngImage(const PngImage&) = delete;
    PngImage& operator=(const PngImage&) = delete;
    png_image& get() { return image_; }

  private:
    png_image image_;
};

// The reader stops once it has the rows, so a file cut after its image data would decode;
// like a JPEG cut before its end marker, it counts as undecodable. The end chunk (no data, a
// fixed checksum) must be there, whatever trails it.
bool hasEndChunk(std::span<const std::uint8_t> bytes) {
    constexpr std::array<std::uint8_t, 12> kEnd{0,   0,   0,    0,    'I',  'E',
                                                'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    // Searched from the back, where it almost always is.
    return std::find_end(bytes.begin(), bytes.end(), kEnd.begin(), kEnd.end()) != bytes.end();
}

// Whether a chunk before the image data says how its samples are encoded (gAMA, sRGB, iCCP,
// cHRM). Chunk lengths come from the file: a walk that would leave it stops.
bool namesItsColourSpace(std::span<const std::uint8_t> bytes) {
    constexpr std::size_t kSignatureBytes = 8;
    std::size_t at = kSignatureBytes;
    while (at + 8 <= bytes.size()) {
        const std::uint32_t length = (std::uint32_t{bytes[at]} << 24) |
                                     (std::uint32_t{bytes[at + 1]} << 16) |
                                     (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
        const std::string_view type(reinterpret_cast<const char*>(&bytes[at + 4]), 4);
        if (type == "IDAT") {
            return false;
        }
        if (type == "gAMA" || type == "sRGB" || type == "iCCP" || type == "cHRM") {
            return true;
        }
        if (length > bytes.size() - at - 8) {
            return false;
        }
        at += std::size_t{length} + 12;
    }
    return false;
}

// The simplified reader takes 16-bit samples without a colour-space chunk for linear light
// and brightens them on the way to 8 bits; browsers and viewers take them for sRGB like every
// other untagged picture. Read untouched (linear to linear, alpha premultiplied) and keep the
// high byte of each straight sample.
bool readUntagged16Bit(png_image& image, Surface& picture) {
    image.format = PNG_FORMAT_LINEAR_RGB_ALPHA;
    std::vector<std::uint16_t> samples(picture.pixels.size() * 4);
    if (png_image_finish_read(&image, nullptr, samples.data(), 0, nullptr) == 0) {
        return false;
    }
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        const std::uint16_t* sample = &samples[i * 4];
        const std::uint32_t alpha = sample[3];
        const auto straight = [alpha](std::uint32_t value) -> std::uint32_t {
            return alpha == 0 ? 0 : std::min<std::uint32_t>(value * 65535u / alpha, 65535u) >> 8;
        };
        picture.pixels[i] = ((alpha >> 8) << 24) | (straight(sample[0]) << 16) |
                            (straight(sample[1]) << 8) | straight(sample[2]);
    }
    return true;
}

}  // namespace

// libpng's simplified reader keeps its own error recovery (no jump crosses this frame) and
// inflates no more image data than the rows it is asked for, so a small file declaring a
// huge picture is refused from its header before anything is allocated or inflated.
std::optional<Surface> decodePng(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels) {
    if (!hasEndChunk(bytes)) {
        return std::nullopt;
    }
    PngImage reader;
    png_image& image = reader.get();
    if (png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) == 0 ||
        !pictureSizeAcceptable(image.width, image.height, maxPixels)) {
        return std::nullopt;
    }
    const bool untagged16Bit =
        (image.format & PNG_FORMAT_FLAG_LINEAR) != 0 && !namesItsColourSpace(bytes);
    Surface picture = Surface::uninitialised(static_cast<std::int32_t>(image.width),
                                             static_cast<std::int32_t>(image.height));
    if (picture.empty()) {
        return std::nullopt;
    }
    if (untagged16Bit) {
        if (!readUntagged16Bit(image, picture)) {
            return std::nullopt;
        }
    } else {
        image.format = PNG_FORMAT_BGRA;
        if (png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr) == 0) {
            return std::nullopt;
        }
    }
    flattenOverWhite(picture);
    return picture;
}
