#include <png.h>

#include <algorithm>
#include <array>
#include <cstring>

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
    image.format = PNG_FORMAT_BGRA;
    Surface picture = Surface::uninitialised(static_cast<std::int32_t>(image.width),
                                             static_cast<std::int32_t>(image.height));
    if (picture.empty() ||
        png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr) == 0) {
        return std::nullopt;
    }
    flattenOverWhite(picture);
    return picture;
}
