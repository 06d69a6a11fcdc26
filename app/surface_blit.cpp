#include "app/surface_blit.h"

#include <cstddef>

#include "app/bitmap_info.h"

void blitSurface(HDC dc, const Surface& surface, const Rect& part) {
    // The rows of the part, given to the device as a top-down picture of their own.
    const BITMAPINFO info = topDownBitmapInfo(surface.width, part.height());
    const std::uint32_t* rows = surface.pixels.data() + static_cast<std::size_t>(part.top) *
                                                            static_cast<std::size_t>(surface.width);
    SetDIBitsToDevice(dc, part.left, part.top, static_cast<DWORD>(part.width()),
                      static_cast<DWORD>(part.height()), part.left, 0, 0,
                      static_cast<UINT>(part.height()), rows, &info, DIB_RGB_COLORS);
}
