#include <csetjmp>
#include <cstdio>

// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include <bit>
#include <vector>

#include "mosaic/image_limits.h"
#include "mosaic/picture_decoder.h"

// BGRX bytes read as one 32-bit value give 0xXXRRGGBB only on a little-endian machine.
static_assert(std::endian::native == std::endian::little);

namespace {

struct JumpingErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void jumpOnError(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<JumpingErrorManager*>(cinfo->err);
    std::longjmp(manager->jump, 1);
}

// Warnings are silent, except that data ending before the picture is complete counts as an
// undecodable picture rather than one padded with grey.
void onMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) {
        jumpOnError(cinfo);
    }
}

struct DecodedPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, top row first
};

// Runs libjpeg between setjmp and the possible longjmp. Nothing with a destructor lives in
// this frame; out and its vector belong to the caller.
bool decompress(jpeg_decompress_struct& cinfo, JumpingErrorManager& errors,
                std::span<const std::uint8_t> bytes, std::uint64_t maxPixels, DecodedPixels& out) {
    if (setjmp(errors.jump) != 0) {
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        return false;
    }
    if (!pictureSizeAcceptable(cinfo.image_width, cinfo.image_height, maxPixels)) {
        return false;
    }
    cinfo.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 4) {
        return false;
    }
    out.width = static_cast<int>(cinfo.output_width);
    out.height = static_cast<int>(cinfo.output_height);
    out.pixels.resize(static_cast<std::size_t>(out.width) * out.height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(out.pixels.data() +
                                                  std::size_t{cinfo.output_scanline} * out.width);
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

std::optional<DecodedPixels> decodeJpeg(std::span<const std::uint8_t> bytes,
                                        std::uint64_t maxPixels) {
    // Refused from the header and the scan count before libjpeg sees it, as on Windows; the
    // size libjpeg reads is checked again below.
    if (bytes.empty() || bytes.size() > kMaxImageBytes ||
        !pictureAllowedForDecoding(bytes, maxPixels)) {
        return std::nullopt;
    }
    jpeg_decompress_struct cinfo{};
    JumpingErrorManager errors{};
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = jumpOnError;
    errors.base.emit_message = onMessage;
    DecodedPixels decoded;
    const bool ok = decompress(cinfo, errors, bytes, maxPixels, decoded);
    jpeg_destroy_decompress(&cinfo);
    if (!ok) {
        return std::nullopt;
    }
    for (auto& pixel : decoded.pixels) {
        pixel &= 0x00FFFFFFu;
    }
    return decoded;
}

}  // namespace

std::optional<Surface> decodePictureWithin(std::span<const std::uint8_t> bytes,
                                           std::uint64_t maxPixels) {
    auto decoded = decodeJpeg(bytes, maxPixels);
    if (!decoded) {
        return std::nullopt;
    }
    return Surface::fromPixels(decoded->width, decoded->height, std::move(decoded->pixels));
}
