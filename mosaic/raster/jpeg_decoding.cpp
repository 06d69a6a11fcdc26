#include <csetjmp>
#include <cstdio>

// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <vector>

#include "mosaic/raster/image_limits.h"
#include "mosaic/raster/picture_decoding.h"

// BGRX bytes read as one 32-bit value give 0xXXRRGGBB only on a little-endian machine.
static_assert(std::endian::native == std::endian::little);

namespace {

// libjpeg sets the X byte of BGRX to 0xFF; a surface holds 0x00RRGGBB.
constexpr std::uint32_t kColourBits = 0x00FFFFFFu;

// Rows asked of libjpeg per call: enough for one row of MCUs at the largest sampling factor.
constexpr std::size_t kRowsPerRead = 16;

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

void readNaturalRows(jpeg_decompress_struct& cinfo, Decoding& decoding) {
    const std::size_t width = cinfo.output_width;
    std::array<JSAMPROW, kRowsPerRead> rows{};
    while (cinfo.output_scanline < cinfo.output_height) {
        const std::size_t first = cinfo.output_scanline;
        const std::size_t count = std::min<std::size_t>(kRowsPerRead, cinfo.output_height - first);
        for (std::size_t i = 0; i < count; ++i) {
            rows[i] = reinterpret_cast<JSAMPROW>(decoding.out.pixels.data() + (first + i) * width);
        }
        const std::size_t read =
            jpeg_read_scanlines(&cinfo, rows.data(), static_cast<JDIMENSION>(count));
        // Cleared while the rows are still in the cache.
        std::uint32_t* written = decoding.out.pixels.data() + first * width;
        for (std::size_t i = 0; i < read * width; ++i) {
            written[i] &= kColourBits;
        }
    }
}

// Each destination pixel takes the source pixel nearestSourceOffset names within the shown
// part, as stretchSurface does. Rows no destination row takes are skipped (their entropy data
// is still read, so bytes that a natural-size decoding refuses are refused here too).
void readSampledRows(jpeg_decompress_struct& cinfo, Decoding& decoding) {
    const std::int32_t width = decoding.targetWidth;
    const std::int32_t height = decoding.targetHeight;
    const Rect part =
        shownPart(decoding.natural, decoding.targetWidth, decoding.targetHeight, decoding.look);
    for (std::int32_t x = 0; x < width; ++x) {
        decoding.sourceColumns.push_back(
            part.left + static_cast<std::int32_t>(nearestSourceOffset(x, part.width(), width)));
    }
    for (std::int32_t y = 0; y < height; ++y) {
        decoding.sourceRows.push_back(
            part.top + static_cast<std::int32_t>(nearestSourceOffset(y, part.height(), height)));
    }
    decoding.sourceRow.resize(cinfo.output_width);
    for (std::int32_t nextRow = 0; nextRow < height;) {
        const auto wanted = static_cast<JDIMENSION>(decoding.sourceRows[nextRow]);
        if (wanted > cinfo.output_scanline) {
            jpeg_skip_scanlines(&cinfo, wanted - cinfo.output_scanline);
        }
        JSAMPROW row = reinterpret_cast<JSAMPROW>(decoding.sourceRow.data());
        jpeg_read_scanlines(&cinfo, &row, 1);
        const std::uint32_t* source = decoding.sourceRow.data();
        for (; nextRow < height && decoding.sourceRows[nextRow] == std::int32_t(wanted);
             ++nextRow) {
            std::uint32_t* target =
                decoding.out.pixels.data() + static_cast<std::size_t>(nextRow) * width;
            for (std::int32_t x = 0; x < width; ++x) {
                target[x] = source[decoding.sourceColumns[x]] & kColourBits;
            }
        }
    }
    if (cinfo.output_scanline < cinfo.output_height) {
        jpeg_skip_scanlines(&cinfo, cinfo.output_height - cinfo.output_scanline);
    }
}

// The smallest DCT scaling (n/8) whose output still holds the shown part at twice the cell's
// size in both directions; natural size when none does.
void chooseReducedSize(jpeg_decompress_struct& cinfo, const Decoding& decoding) {
    const Rect part =
        shownPart(decoding.natural, decoding.targetWidth, decoding.targetHeight, decoding.look);
    cinfo.scale_denom = 8;
    for (unsigned int eighths = 1; eighths <= 8; ++eighths) {
        cinfo.scale_num = eighths;
        if (std::int64_t{part.width()} * eighths >= std::int64_t{16} * decoding.targetWidth &&
            std::int64_t{part.height()} * eighths >= std::int64_t{16} * decoding.targetHeight) {
            break;
        }
    }
    jpeg_calc_output_dimensions(&cinfo);
}

// Runs libjpeg between setjmp and the possible longjmp. Nothing with a destructor lives in
// this frame; decoding and its buffers belong to the caller.
bool decompress(jpeg_decompress_struct& cinfo, JumpingErrorManager& errors,
                std::span<const std::uint8_t> bytes, Decoding& decoding) {
    if (setjmp(errors.jump) != 0) {
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        return false;
    }
    if (!pictureSizeAcceptable(cinfo.image_width, cinfo.image_height, decoding.maxPixels)) {
        return false;
    }
    cinfo.out_color_space = JCS_EXT_BGRX;
    decoding.natural.width = static_cast<int>(cinfo.image_width);
    decoding.natural.height = static_cast<int>(cinfo.image_height);
    const bool sampled = decoding.targetWidth > 0 && !decoding.look.smooth;
    if (decoding.targetWidth > 0 && decoding.look.smooth) {
        chooseReducedSize(cinfo, decoding);
    }
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 4) {
        return false;
    }
    if (sampled) {
        decoding.out = Surface::uninitialised(decoding.targetWidth, decoding.targetHeight);
        readSampledRows(cinfo, decoding);
    } else {
        decoding.out = Surface::uninitialised(static_cast<std::int32_t>(cinfo.output_width),
                                              static_cast<std::int32_t>(cinfo.output_height));
        readNaturalRows(cinfo, decoding);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

}  // namespace

bool decodeJpeg(std::span<const std::uint8_t> bytes, Decoding& decoding) {
    jpeg_decompress_struct cinfo{};
    JumpingErrorManager errors{};
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = jumpOnError;
    errors.base.emit_message = onMessage;
    const bool ok = decompress(cinfo, errors, bytes, decoding);
    jpeg_destroy_decompress(&cinfo);
    if (ok && decoding.targetWidth > 0 && decoding.look.smooth) {
        averageReduced(decoding, Rect{0, 0, decoding.natural.width, decoding.natural.height});
    }
    return ok && !decoding.out.empty();
}
