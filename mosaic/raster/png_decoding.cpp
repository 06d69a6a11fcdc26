#include <png.h>

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

}  // namespace

// libpng's simplified reader keeps its own error recovery (no jump crosses this frame) and
// inflates no more image data than the rows it is asked for, so a small file declaring a
// huge picture is refused from its header before anything is allocated or inflated.
std::optional<Surface> decodePng(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels) {
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
