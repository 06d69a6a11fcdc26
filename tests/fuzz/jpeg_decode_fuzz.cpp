// The picture decoder with the program's own caps, for every format it tells by content
// (JPEG, PNG, WebP): any bytes either decode to a picture of the size their header names,
// within the pixel cap, or give no picture.

#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_check.h"
#include "mosaic/raster/image_limits.h"
#include "mosaic/raster/picture_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const auto header = readPictureSize(bytes);
    const auto picture = decodePicture(bytes);
    if (!picture) {
        return 0;
    }
    FUZZ_CHECK(header.has_value());
    FUZZ_CHECK(picture->width == header->width && picture->height == header->height);
    FUZZ_CHECK(pictureSizeAcceptable(picture->width, picture->height));
    FUZZ_CHECK(!picture->empty());
    for (const std::uint32_t pixel : picture->pixels) {
        FUZZ_CHECK((pixel & 0xFF000000u) == 0);
    }
    return 0;
}
