#include "mosaic/raster/surface.h"

#include <algorithm>
#include <utility>

namespace {

std::size_t indexOf(const Surface& surface, std::int32_t x, std::int32_t y) {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(surface.width) +
           static_cast<std::size_t>(x);
}

// Keeps the sampling products of a scaled span within 64 bits; no real surface comes near it.
constexpr std::int64_t kLongestSpan = std::int64_t{1} << 30;

std::int64_t spanOf(std::int32_t from, std::int32_t to) {
    return std::int64_t{to} - std::int64_t{from};
}

// For each destination offset in [first, last) of a span of dstLength pixels, the source
// coordinate it samples, or -1 when that lies off the source surface.
std::vector<std::int32_t> sampleTable(std::int64_t srcStart, std::int64_t srcLength,
                                      std::int64_t srcLimit, std::int64_t dstLength,
                                      std::int64_t first, std::int64_t last) {
    std::vector<std::int32_t> table;
    table.reserve(static_cast<std::size_t>(last - first));
    for (std::int64_t d = first; d < last; ++d) {
        // Equal lengths map each pixel onto itself, however long the span.
        const std::int64_t offset =
            srcLength == dstLength ? d : nearestSourceOffset(d, srcLength, dstLength);
        const std::int64_t s = srcStart + offset;
        table.push_back(s >= 0 && s < srcLimit ? static_cast<std::int32_t>(s) : -1);
    }
    return table;
}

template <typename WritePixel>
void stretchWith(const Surface& src, Rect srcRect, Surface& dst, Rect dstRect,
                 WritePixel writePixel) {
    const std::int64_t srcW = spanOf(srcRect.left, srcRect.right);
    const std::int64_t srcH = spanOf(srcRect.top, srcRect.bottom);
    const std::int64_t dstW = spanOf(dstRect.left, dstRect.right);
    const std::int64_t dstH = spanOf(dstRect.top, dstRect.bottom);
    const auto tooLongToScale = [](std::int64_t srcLength, std::int64_t dstLength) {
        return srcLength != dstLength && std::max(srcLength, dstLength) > kLongestSpan;
    };
    if (src.empty() || dst.empty() || srcW < 1 || srcH < 1 || dstW < 1 || dstH < 1 ||
        tooLongToScale(srcW, dstW) || tooLongToScale(srcH, dstH)) {
        return;
    }
    // Offsets within dstRect that land on the destination surface.
    const std::int64_t firstX = std::max<std::int64_t>(0, -std::int64_t{dstRect.left});
    const std::int64_t lastX = std::min<std::int64_t>(dstW, dst.width - std::int64_t{dstRect.left});
    const std::int64_t firstY = std::max<std::int64_t>(0, -std::int64_t{dstRect.top});
    const std::int64_t lastY = std::min<std::int64_t>(dstH, dst.height - std::int64_t{dstRect.top});
    if (firstX >= lastX || firstY >= lastY) {
        return;
    }
    const auto columns = sampleTable(srcRect.left, srcW, src.width, dstW, firstX, lastX);
    const auto rows = sampleTable(srcRect.top, srcH, src.height, dstH, firstY, lastY);
    const auto dstLeft = static_cast<std::int32_t>(dstRect.left + firstX);
    for (std::int64_t dy = firstY; dy < lastY; ++dy) {
        const std::int32_t sy = rows[static_cast<std::size_t>(dy - firstY)];
        if (sy < 0) {
            continue;
        }
        const std::uint32_t* srcRow = &src.pixels[indexOf(src, 0, sy)];
        std::uint32_t* dstRow =
            &dst.pixels[indexOf(dst, dstLeft, static_cast<std::int32_t>(dstRect.top + dy))];
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const std::int32_t sx = columns[i];
            if (sx >= 0) {
                writePixel(dstRow[i], srcRow[sx]);
            }
        }
    }
}

}  // namespace

Surface Surface::filled(std::int32_t width, std::int32_t height, std::uint32_t colour) {
    Surface surface;
    if (width < 1 || height < 1) {
        return surface;
    }
    surface.width = width;
    surface.height = height;
    surface.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                          colour);
    return surface;
}

Surface Surface::uninitialised(std::int32_t width, std::int32_t height) {
    Surface surface;
    if (width < 1 || height < 1) {
        return surface;
    }
    surface.width = width;
    surface.height = height;
    surface.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    return surface;
}

Surface Surface::fromPixels(std::int32_t width, std::int32_t height,
                            const std::vector<std::uint32_t>& pixels) {
    Surface surface;
    if (width < 1 || height < 1 ||
        pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        return surface;
    }
    surface.width = width;
    surface.height = height;
    surface.pixels.assign(pixels.begin(), pixels.end());
    return surface;
}

bool Surface::empty() const {
    return width < 1 || height < 1 ||
           pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

std::optional<std::uint32_t> pixelAt(const Surface& surface, std::int32_t x, std::int32_t y) {
    if (surface.empty() || x < 0 || y < 0 || x >= surface.width || y >= surface.height) {
        return std::nullopt;
    }
    return surface.pixels[indexOf(surface, x, y)];
}

void fillSurface(Surface& surface, Rect rect, std::uint32_t colour) {
    if (surface.empty()) {
        return;
    }
    const std::int32_t left = std::max(rect.left, 0);
    const std::int32_t top = std::max(rect.top, 0);
    const std::int32_t right = std::min(rect.right, surface.width);
    const std::int32_t bottom = std::min(rect.bottom, surface.height);
    if (left >= right || top >= bottom) {
        return;
    }
    for (std::int32_t y = top; y < bottom; ++y) {
        auto row = surface.pixels.begin() + static_cast<std::ptrdiff_t>(indexOf(surface, 0, y));
        std::fill(row + left, row + right, colour);
    }
}

void copySurface(const Surface& src, Rect srcRect, Surface& dst, std::int32_t dstX,
                 std::int32_t dstY) {
    if (src.empty() || dst.empty()) {
        return;
    }
    // Clip the source rectangle to the source, shifting the destination with it.
    std::int64_t left = srcRect.left, top = srcRect.top;
    std::int64_t right = srcRect.right, bottom = srcRect.bottom;
    std::int64_t toX = dstX, toY = dstY;
    if (left < 0) {
        toX -= left;
        left = 0;
    }
    if (top < 0) {
        toY -= top;
        top = 0;
    }
    right = std::min<std::int64_t>(right, src.width);
    bottom = std::min<std::int64_t>(bottom, src.height);
    // Then to the destination.
    if (toX < 0) {
        left -= toX;
        toX = 0;
    }
    if (toY < 0) {
        top -= toY;
        toY = 0;
    }
    right = std::min<std::int64_t>(right, left + (dst.width - toX));
    bottom = std::min<std::int64_t>(bottom, top + (dst.height - toY));
    if (left >= right || top >= bottom) {
        return;
    }
    for (std::int64_t y = top; y < bottom; ++y) {
        const auto from = src.pixels.begin() +
                          static_cast<std::ptrdiff_t>(indexOf(src, static_cast<std::int32_t>(left),
                                                              static_cast<std::int32_t>(y)));
        const auto to = dst.pixels.begin() + static_cast<std::ptrdiff_t>(indexOf(
                                                 dst, static_cast<std::int32_t>(toX),
                                                 static_cast<std::int32_t>(toY + (y - top))));
        std::copy(from, from + (right - left), to);
    }
}

void stretchSurface(const Surface& src, Rect srcRect, Surface& dst, Rect dstRect) {
    if (spanOf(srcRect.left, srcRect.right) == spanOf(dstRect.left, dstRect.right) &&
        spanOf(srcRect.top, srcRect.bottom) == spanOf(dstRect.top, dstRect.bottom)) {
        // The rule maps every pixel onto itself.
        copySurface(src, srcRect, dst, dstRect.left, dstRect.top);
        return;
    }
    stretchWith(src, srcRect, dst, dstRect,
                [](std::uint32_t& to, std::uint32_t from) { to = from; });
}
