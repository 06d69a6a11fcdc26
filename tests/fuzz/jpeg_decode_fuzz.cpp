// The picture decoder with the program's own caps, for every format it tells by content
// (JPEG, PNG, WebP): any bytes either decode to a picture of the size their header names,
// within the pixel cap, and to a smooth cell copy, or give no picture.

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
    // A filled smooth copy is cropped and reduced while decoding (JPEG, WebP): what decodes
    // whole gives it too, at the cell's size.
    const auto copy = decodePictureScaled(bytes, 7, 5, CellLook{true, true, {{0.5f, -0.5f}}});
    FUZZ_CHECK(copy.has_value());
    FUZZ_CHECK(copy->naturalSize == *header);
    FUZZ_CHECK(copy->picture.width == 7 && copy->picture.height == 5);
    for (const std::uint32_t pixel : copy->picture.pixels) {
        FUZZ_CHECK((pixel & 0xFF000000u) == 0);
    }
    return 0;
}
