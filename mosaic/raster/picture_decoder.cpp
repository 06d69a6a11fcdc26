#include "mosaic/raster/picture_decoder.h"

#include "mosaic/raster/image_limits.h"
#include "mosaic/raster/jpeg_scan_count.h"

namespace {

bool isStartOfFrame(std::uint8_t marker) {
    // SOF0..SOF15 except DHT (C4), JPG (C8) and DAC (CC), which share the range.
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool isStandalone(std::uint8_t marker) {
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8);
}

}  // namespace

std::optional<PictureSize> readJpegSize(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) {
        return std::nullopt;
    }
    std::size_t pos = 2;
    for (;;) {
        // Like libjpeg, bytes other than 0xFF before a marker are passed over, as is a
        // stuffed zero (0xFF 0x00); any run of 0xFF is fill before the marker code.
        while (pos < bytes.size() && bytes[pos] != 0xFF) {
            ++pos;
        }
        while (pos < bytes.size() && bytes[pos] == 0xFF) {
            ++pos;
        }
        if (pos >= bytes.size()) {
            return std::nullopt;
        }
        const std::uint8_t marker = bytes[pos++];
        if (marker == 0x00 || isStandalone(marker)) {
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) {
            return std::nullopt;  // end of image or scan data before any frame header
        }
        if (bytes.size() - pos < 2) {
            return std::nullopt;
        }
        const std::size_t length = (std::size_t{bytes[pos]} << 8) | bytes[pos + 1];
        if (length < 2 || length > bytes.size() - pos) {
            return std::nullopt;
        }
        if (isStartOfFrame(marker)) {
            if (length < 7) {
                return std::nullopt;
            }
            PictureSize size;
            size.height = (int{bytes[pos + 3]} << 8) | bytes[pos + 4];
            size.width = (int{bytes[pos + 5]} << 8) | bytes[pos + 6];
            return size;
        }
        pos += length;
    }
}

bool pictureSizeAllowed(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels) {
    const auto size = readJpegSize(bytes);
    return size && pictureSizeAcceptable(size->width, size->height, maxPixels);
}

bool pictureAllowedForDecoding(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels) {
    return pictureSizeAllowed(bytes, maxPixels) && jpegScanCountAcceptable(bytes);
}

std::optional<Surface> decodePicture(std::span<const std::uint8_t> bytes) {
    return decodePictureWithin(bytes, kMaxPicturePixels);
}
