#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <utility>
#include <vector>

constexpr std::int32_t clampToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

constexpr std::int32_t clampedSpan(std::int32_t from, std::int32_t to) {
    return clampToInt32(std::int64_t{to} - std::int64_t{from});
}

// A rectangle in pixels: left and top inclusive, right and bottom exclusive.
struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    // Edges far apart (from opposite ends of the range) would overflow a 32-bit difference;
    // the span is computed in 64 bits and clamped.
    std::int32_t width() const { return clampedSpan(left, right); }
    std::int32_t height() const { return clampedSpan(top, bottom); }
    bool operator==(const Rect&) const = default;
};

// The rectangle with that corner and size; an edge past the 32-bit range stops at its end.
inline Rect rectOfSize(std::int32_t left, std::int32_t top, std::int32_t width,
                       std::int32_t height) {
    return Rect{left, top, clampToInt32(std::int64_t{left} + width),
                clampToInt32(std::int64_t{top} + height)};
}

// Colours are 0x00RRGGBB.
constexpr std::uint32_t rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | std::uint32_t{blue};
}

inline constexpr std::uint32_t kBlack = 0x000000u;

// std::allocator, except that elements made without a value are left uninitialised, so a
// buffer about to be overwritten whole (a decoded picture) is not cleared first.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}

    template <typename U>
    void construct(U* at) noexcept {
        ::new (static_cast<void*>(at)) U;
    }
    template <typename U, typename... Args>
    void construct(U* at, Args&&... args) {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }
};

using PixelBuffer = std::vector<std::uint32_t, UninitialisedAllocator<std::uint32_t>>;

// An off-screen raster: row-major, top-down, one 0x00RRGGBB value per pixel. A surface whose
// pixel count does not match width × height is treated as empty by every operation below.
struct Surface {
    std::int32_t width = 0;
    std::int32_t height = 0;
    PixelBuffer pixels;

    // A surface of width × height filled with colour; an empty one for sizes below 1.
    static Surface filled(std::int32_t width, std::int32_t height, std::uint32_t colour = kBlack);

    // A surface of width × height whose pixels are not set, for a caller that writes every
    // one of them before anything reads the surface; an empty one for sizes below 1.
    static Surface uninitialised(std::int32_t width, std::int32_t height);

    // A surface holding pixels, which must be exactly width × height values; an empty surface
    // otherwise.
    static Surface fromPixels(std::int32_t width, std::int32_t height,
                              const std::vector<std::uint32_t>& pixels);

    bool empty() const;
    Rect bounds() const { return Rect{0, 0, width, height}; }
    bool operator==(const Surface&) const = default;
};

// The colour at (x, y), or none outside the surface.
std::optional<std::uint32_t> pixelAt(const Surface& surface, std::int32_t x, std::int32_t y);

// Fills the part of rect that lies on the surface with colour.
void fillSurface(Surface& surface, Rect rect, std::uint32_t colour);

// Exact copy of srcRect of src to dst with its top-left corner at (dstX, dstY). Only pixels
// that lie on both surfaces are copied.
void copySurface(const Surface& src, Rect srcRect, Surface& dst, std::int32_t dstX,
                 std::int32_t dstY);

// The offset within a source span of srcLength pixels that offset d of a destination span of
// dstLength pixels shows under stretchSurface's rule (both lengths at least 1).
inline std::int64_t nearestSourceOffset(std::int64_t d, std::int64_t srcLength,
                                        std::int64_t dstLength) {
    return ((2 * d + 1) * srcLength) / (2 * dstLength);
}

// Nearest-neighbour stretch of srcRect onto dstRect, aspect ratio not kept, no blending.
// Destination pixel (dx, dy), counted from dstRect's corner, takes the source pixel
//   sx = srcRect.left + ((2·dx + 1) · srcWidth) / (2 · dstWidth)
//   sy = srcRect.top  + ((2·dy + 1) · srcHeight) / (2 · dstHeight)
// in integer arithmetic: the source pixel under the centre of the destination pixel. The
// same rule holds for enlarging and shrinking. Rectangles with a width or height below 1 draw
// nothing, as does a span longer than 2^30 pixels that is scaled (an unscaled one maps each
// pixel onto itself). Destination pixels off dst, or whose source pixel lies off src, are left
// unchanged.
void stretchSurface(const Surface& src, Rect srcRect, Surface& dst, Rect dstRect);
