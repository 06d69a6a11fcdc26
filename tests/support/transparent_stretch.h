#pragma once

#include <cstddef>
#include <cstdint>

#include "mosaic/raster/surface.h"

// stretchSurface, except that source pixels equal to keyColour leave the destination
// unchanged. Built on stretchSurface: a destination pixel whose stretched value is the key was
// either drawn from a key pixel or already held the key, and in both cases stays as it was.
inline void stretchSurfaceTransparent(const Surface& src, Rect srcRect, Surface& dst, Rect dstRect,
                                      std::uint32_t keyColour) {
    Surface stretched = dst;
    stretchSurface(src, srcRect, stretched, dstRect);
    for (std::size_t i = 0; i < dst.pixels.size(); ++i) {
        if (stretched.pixels[i] != keyColour) {
            dst.pixels[i] = stretched.pixels[i];
        }
    }
}
