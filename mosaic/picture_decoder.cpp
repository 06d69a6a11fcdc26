#include "mosaic/picture_decoder.h"

#include "mosaic/image_limits.h"

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
    while (pos < bytes.size()) {
        if (bytes[pos] != 0xFF) {
            return std::nullopt;
        }
        while (pos < bytes.size() && bytes[pos] == 0xFF) {
            ++pos;  // fill bytes before a marker
        }
        if (pos >= bytes.size()) {
            return std::nullopt;
        }
        const std::uint8_t marker = bytes[pos++];
        if (isStandalone(marker)) {
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA || marker == 0x00) {
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
    return std::nullopt;
}

std::optional<Surface> decodePicture(std::span<const std::uint8_t> bytes) {
    return decodePictureWithin(bytes, kMaxPicturePixels);
}
