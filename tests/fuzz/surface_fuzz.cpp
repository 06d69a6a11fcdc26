// The raster operations with any rectangles, including ones far off the surfaces and with
// extreme coordinates: each result is compared pixel by pixel with a direct reading of the
// operation's rule, computed in wide arithmetic.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <limits>

#include "fuzz_check.h"
#include "mosaic/raster/surface.h"
#include "tests/support/transparent_stretch.h"

namespace {

using Wide = __int128;

// The surface layer's bound: longer spans that are scaled draw nothing.
constexpr Wide kLongestSpan = Wide{1} << 30;

std::int32_t anyCoordinate(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange(0, 3)) {
        case 0:
            return input.ConsumeIntegralInRange<std::int32_t>(-8, 40);
        case 1:
            return input.ConsumeIntegralInRange<std::int32_t>(-100000, 100000);
        case 2:
            return input.ConsumeBool() ? std::numeric_limits<std::int32_t>::max()
                                       : std::numeric_limits<std::int32_t>::min();
        default:
            return input.ConsumeIntegral<std::int32_t>();
    }
}

Rect anyRect(FuzzedDataProvider& input) {
    return Rect{anyCoordinate(input), anyCoordinate(input), anyCoordinate(input),
                anyCoordinate(input)};
}

Surface anySurface(FuzzedDataProvider& input) {
    const auto width = input.ConsumeIntegralInRange<std::int32_t>(-1, 24);
    const auto height = input.ConsumeIntegralInRange<std::int32_t>(-1, 24);
    Surface surface = Surface::filled(width, height);
    for (std::uint32_t& pixel : surface.pixels) {
        pixel = input.ConsumeIntegralInRange<std::uint32_t>(0, 3);
    }
    if (input.ConsumeBool() && !surface.pixels.empty()) {
        surface.pixels.pop_back();  // a pixel count that does not match: treated as empty
    }
    return surface;
}

bool inside(const Rect& rect, Wide x, Wide y) {
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

bool onSurface(const Surface& surface, Wide x, Wide y) {
    return !surface.empty() && x >= 0 && y >= 0 && x < surface.width && y < surface.height;
}

std::uint32_t at(const Surface& surface, Wide x, Wide y) {
    return surface.pixels[static_cast<std::size_t>(y * surface.width + x)];
}

// The source pixel under the centre of each destination pixel, or nothing.
Surface expectedStretch(const Surface& src, Rect srcRect, const Surface& dst, Rect dstRect,
                        bool transparent, std::uint32_t key) {
    Surface expected = dst;
    const Wide srcW = Wide{srcRect.right} - srcRect.left;
    const Wide srcH = Wide{srcRect.bottom} - srcRect.top;
    const Wide dstW = Wide{dstRect.right} - dstRect.left;
    const Wide dstH = Wide{dstRect.bottom} - dstRect.top;
    const auto tooLongToScale = [](Wide srcLength, Wide dstLength) {
        return srcLength != dstLength && (srcLength > kLongestSpan || dstLength > kLongestSpan);
    };
    if (src.empty() || dst.empty() || srcW < 1 || srcH < 1 || dstW < 1 || dstH < 1 ||
        tooLongToScale(srcW, dstW) || tooLongToScale(srcH, dstH)) {
        return expected;
    }
    for (Wide y = 0; y < dst.height; ++y) {
        for (Wide x = 0; x < dst.width; ++x) {
            if (!inside(dstRect, x, y)) {
                continue;
            }
            const Wide dx = x - dstRect.left;
            const Wide dy = y - dstRect.top;
            const Wide sx = srcRect.left + ((2 * dx + 1) * srcW) / (2 * dstW);
            const Wide sy = srcRect.top + ((2 * dy + 1) * srcH) / (2 * dstH);
            if (!onSurface(src, sx, sy)) {
                continue;
            }
            const std::uint32_t colour = at(src, sx, sy);
            if (!transparent || colour != key) {
                expected.pixels[static_cast<std::size_t>(y * dst.width + x)] = colour;
            }
        }
    }
    return expected;
}

Surface expectedCopy(const Surface& src, Rect srcRect, const Surface& dst, Wide toX, Wide toY) {
    Surface expected = dst;
    if (src.empty() || dst.empty()) {
        return expected;
    }
    for (Wide y = 0; y < dst.height; ++y) {
        for (Wide x = 0; x < dst.width; ++x) {
            const Wide sx = srcRect.left + (x - toX);
            const Wide sy = srcRect.top + (y - toY);
            if (inside(srcRect, sx, sy) && onSurface(src, sx, sy)) {
                expected.pixels[static_cast<std::size_t>(y * dst.width + x)] = at(src, sx, sy);
            }
        }
    }
    return expected;
}

Surface expectedFill(const Surface& surface, Rect rect, std::uint32_t colour) {
    Surface expected = surface;
    if (surface.empty()) {
        return expected;
    }
    for (Wide y = 0; y < surface.height; ++y) {
        for (Wide x = 0; x < surface.width; ++x) {
            if (inside(rect, x, y)) {
                expected.pixels[static_cast<std::size_t>(y * surface.width + x)] = colour;
            }
        }
    }
    return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const Surface src = anySurface(input);
    Surface dst = anySurface(input);
    while (input.remaining_bytes() > 0) {
        const Rect from = anyRect(input);
        const Rect to = anyRect(input);
        const auto colour = input.ConsumeIntegralInRange<std::uint32_t>(0, 3);
        switch (input.ConsumeIntegralInRange(0, 4)) {
            case 0: {
                const Surface expected = expectedStretch(src, from, dst, to, false, 0);
                stretchSurface(src, from, dst, to);
                FUZZ_CHECK(dst == expected);
                break;
            }
            case 1: {
                const Surface expected = expectedStretch(src, from, dst, to, true, colour);
                stretchSurfaceTransparent(src, from, dst, to, colour);
                FUZZ_CHECK(dst == expected);
                break;
            }
            case 2: {
                const Surface expected = expectedCopy(src, from, dst, to.left, to.top);
                copySurface(src, from, dst, to.left, to.top);
                FUZZ_CHECK(dst == expected);
                break;
            }
            case 3: {
                const Surface expected = expectedFill(dst, to, colour);
                fillSurface(dst, to, colour);
                FUZZ_CHECK(dst == expected);
                break;
            }
            default: {
                const auto pixel = pixelAt(src, to.left, to.top);
                FUZZ_CHECK(pixel.has_value() == onSurface(src, to.left, to.top));
                if (pixel) {
                    FUZZ_CHECK(*pixel == at(src, to.left, to.top));
                }
                break;
            }
        }
    }
    return 0;
}
