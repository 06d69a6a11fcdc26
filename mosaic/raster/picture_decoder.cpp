#include "mosaic/raster/picture_decoder.h"

#include <algorithm>
#include <span>
#include <string_view>

#include "mosaic/raster/image_limits.h"
#include "mosaic/raster/jpeg_scan_count.h"
#include "mosaic/raster/picture_decoding.h"
#include "mosaic/raster/picture_format.h"

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

namespace {

std::optional<PictureSize> readPngSize(std::span<const std::uint8_t> bytes) {
    // The signature, then the header chunk: length 13, "IHDR", width, height, and the rest of
    // its data and its checksum, which must all be there.
    constexpr std::size_t kHeaderEnd = 8 + 8 + 13 + 4;
    if (pictureFormatOf(bytes) != PictureFormat::png || bytes.size() < kHeaderEnd ||
        bytes[8] != 0 || bytes[9] != 0 || bytes[10] != 0 || bytes[11] != 13 ||
        std::string_view(reinterpret_cast<const char*>(bytes.data() + 12), 4) != "IHDR") {
        return std::nullopt;
    }
    const auto bigEndian = [&](std::size_t at) {
        return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
               (std::uint32_t{bytes[at + 2]} << 8) | std::uint32_t{bytes[at + 3]};
    };
    const std::uint32_t width = bigEndian(16);
    const std::uint32_t height = bigEndian(20);
    // PNG sizes stop at 2^31 - 1.
    if (width > 0x7FFFFFFFu || height > 0x7FFFFFFFu) {
        return std::nullopt;
    }
    return PictureSize{static_cast<int>(width), static_cast<int>(height)};
}

}  // namespace

std::optional<PictureSize> readPictureSize(std::span<const std::uint8_t> bytes) {
    switch (pictureFormatOf(bytes)) {
        case PictureFormat::jpeg:
            return readJpegSize(bytes);
        case PictureFormat::png:
            return readPngSize(bytes);
        case PictureFormat::webp:
            return readWebpSize(bytes);
        case PictureFormat::unknown:
            break;
    }
    return std::nullopt;
}

bool pictureSizeAllowed(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels) {
    const auto size = readPictureSize(bytes);
    return size && pictureSizeAcceptable(size->width, size->height, maxPixels);
}

bool pictureAllowedForDecoding(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels) {
    return pictureSizeAllowed(bytes, maxPixels) &&
           (pictureFormatOf(bytes) != PictureFormat::jpeg || jpegScanCountAcceptable(bytes));
}

namespace {

std::uint32_t overWhite(std::uint32_t pixel) {
    const std::uint32_t alpha = pixel >> 24;
    std::uint32_t flat = 0;
    for (const int shift : {0, 8, 16}) {
        const std::uint32_t channel = (pixel >> shift) & 0xFF;
        flat |= ((channel * alpha + 0xFF * (0xFF - alpha) + 127) / 0xFF) << shift;
    }
    return flat;
}

}  // namespace

void flattenOverWhite(Surface& picture) {
    // Most pictures are opaque throughout: a block whose every alpha is 0xFF only loses its
    // alpha, in loops without branches that the compiler vectorises; only blocks with some
    // transparency are blended pixel by pixel.
    constexpr std::size_t kBlock = 256;
    const std::span<std::uint32_t> pixels(picture.pixels);
    for (std::size_t start = 0; start < pixels.size(); start += kBlock) {
        const auto block = pixels.subspan(start, std::min(kBlock, pixels.size() - start));
        std::uint32_t opaque = 0xFF000000u;
        for (const std::uint32_t pixel : block) {
            opaque &= pixel;
        }
        if (opaque == 0xFF000000u) {
            for (std::uint32_t& pixel : block) {
                pixel &= 0x00FFFFFFu;
            }
        } else {
            std::transform(block.begin(), block.end(), block.begin(), overWhite);
        }
    }
}

bool adoptNatural(std::optional<Surface> natural, Decoding& decoding) {
    if (!natural) {
        return false;
    }
    decoding.natural = PictureSize{natural->width, natural->height};
    if (decoding.targetWidth < 1) {
        decoding.out = std::move(*natural);
        return true;
    }
    decoding.out =
        makeCellCopy(*natural, decoding.targetWidth, decoding.targetHeight, decoding.look);
    return !decoding.out.empty();
}

void averageReduced(Decoding& decoding, Rect decodedPart) {
    const Rect part =
        shownPart(decoding.natural, decoding.targetWidth, decoding.targetHeight, decoding.look);
    // Edges as one integer product and one division each, so the right and bottom edge of a
    // part shown to the end land exactly on the reduced picture's edge.
    const auto scaled = [](std::int32_t at, std::int32_t reduced, std::int32_t whole) {
        return static_cast<double>(std::int64_t{at} * reduced) / whole;
    };
    const double left =
        scaled(part.left - decodedPart.left, decoding.out.width, decodedPart.width());
    const double top =
        scaled(part.top - decodedPart.top, decoding.out.height, decodedPart.height());
    const double right =
        scaled(part.right - decodedPart.left, decoding.out.width, decodedPart.width());
    const double bottom =
        scaled(part.bottom - decodedPart.top, decoding.out.height, decodedPart.height());
    Surface copy = Surface::uninitialised(decoding.targetWidth, decoding.targetHeight);
    averageSurfaceArea(decoding.out, left, top, right - left, bottom - top, copy);
    decoding.out = std::move(copy);
}

namespace {

// Every decoder is reached through here: the byte and pixel caps and the scan count are
// checked from the headers before any codec sees the bytes, and each codec checks the size
// it reads again before allocating.
bool decodeAny(std::span<const std::uint8_t> bytes, Decoding& decoding) {
    if (bytes.empty() || bytes.size() > kMaxImageBytes ||
        !pictureAllowedForDecoding(bytes, decoding.maxPixels)) {
        return false;
    }
    switch (pictureFormatOf(bytes)) {
        case PictureFormat::jpeg:
            return decodeJpeg(bytes, decoding);
        case PictureFormat::png:
            return adoptNatural(decodePng(bytes, decoding.maxPixels), decoding);
        case PictureFormat::webp:
            return decoding.targetWidth > 0 && decoding.look.smooth
                       ? decodeWebpCellCopy(bytes, decoding)
                       : adoptNatural(decodeWebp(bytes, decoding.maxPixels), decoding);
        case PictureFormat::unknown:
            break;
    }
    return false;
}

}  // namespace

std::optional<Surface> decodePicture(std::span<const std::uint8_t> bytes) {
    return decodePictureWithin(bytes, kMaxPicturePixels);
}

std::optional<Surface> decodePictureWithin(std::span<const std::uint8_t> bytes,
                                           std::uint64_t maxPixels) {
    Decoding decoding;
    decoding.maxPixels = maxPixels;
    if (!decodeAny(bytes, decoding)) {
        return std::nullopt;
    }
    return std::move(decoding.out);
}

std::optional<ScaledPicture> decodePictureScaled(std::span<const std::uint8_t> bytes,
                                                 std::int32_t width, std::int32_t height,
                                                 const CellLook& look) {
    if (width < 1 || height < 1) {
        return std::nullopt;
    }
    Decoding decoding;
    decoding.targetWidth = width;
    decoding.targetHeight = height;
    decoding.look = look;
    if (!decodeAny(bytes, decoding)) {
        return std::nullopt;
    }
    return ScaledPicture{std::move(decoding.out), decoding.natural};
}
