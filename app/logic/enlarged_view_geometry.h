#pragma once

#include <cstdint>

#include "mosaic/raster/surface.h"

// The enlarged view keeps the size it opened with. What it records of its position has left
// and top raised to the screen's left and top edges (0 on a single screen; on several, the
// edges of the area they cover together), so that painting skips the part of the picture
// that lies beyond them.

struct ScreenOrigin {
    std::int32_t left = 0;
    std::int32_t top = 0;
};

struct EnlargedPlacement {
    Rect window;    // where the view goes: the moved right and bottom, the opening size
    Rect recorded;  // window with left and top raised to the screen's edges
};

// The recorded rectangle of a view at window.
Rect recordedEnlargedRect(Rect window, ScreenOrigin screen = {});

// After the system moved the view to outer: anchored at its bottom-right corner, width ×
// height again.
EnlargedPlacement keepEnlargedSize(Rect outer, std::int32_t width, std::int32_t height,
                                   ScreenOrigin screen = {});

// The part of the copy that a view of width × height with this recorded rectangle draws, at
// the same place of the view; empty when no part of it is visible.
Rect visibleEnlargedPart(const Surface& copy, Rect recorded, std::int32_t width,
                         std::int32_t height);
