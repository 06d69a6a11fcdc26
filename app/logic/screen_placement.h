#pragma once

#include <cstdint>

#include "mosaic/raster/surface.h"

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const Point&) const = default;
};

// The top-left corner that centres a window of width × height on screen: on each axis the
// screen's edge plus half the room that is left, truncated, or the edge itself where the
// window does not fit. The size presets, the fit to the screen and the dialogs use it.
Point centredOrigin(Rect screen, std::int32_t width, std::int32_t height);

// The smallest outer width or height a window starts with: a stored size below it (a
// hand-edited file) would make a window too small to find, reach or resize.
inline constexpr std::int32_t kSmallestWindowExtent = 100;

// A stored outer width or height raised to kSmallestWindowExtent where it is below.
std::int32_t usableWindowExtent(std::int32_t stored);
