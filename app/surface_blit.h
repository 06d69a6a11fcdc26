#pragma once

#include <windows.h>

#include "mosaic/raster/surface.h"

// Draws part of surface (which must lie on it) onto dc at the same coordinates.
void blitSurface(HDC dc, const Surface& surface, const Rect& part);
