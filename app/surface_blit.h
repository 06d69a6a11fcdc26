#pragma once

#include <windows.h>

#include <cstdint>

#include "mosaic/raster/surface.h"

// The header of a 32-bit top-down device-independent bitmap of that size, the layout a
// Surface keeps its pixels in.
BITMAPINFO topDownBitmapInfo(std::int32_t width, std::int32_t height);

// Draws part of surface (which must lie on it) onto dc at the same coordinates.
void blitSurface(HDC dc, const Surface& surface, const Rect& part);
