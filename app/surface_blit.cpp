#include "app/surface_blit.h"

#include <cstddef>

BITMAPINFO topDownBitmapInfo(std::int32_t width, std::int32_t height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

void blitSurface(HDC dc, const Surface& surface, const Rect& part) {
    // The rows of the part are handed over as a picture of their own, so the device never
    // reads a row above it.
    const BITMAPINFO info = topDownBitmapInfo(surface.width, part.height());
    const std::uint32_t* rows = surface.pixels.data() + static_cast<std::size_t>(part.top) *
                                                            static_cast<std::size_t>(surface.width);
    SetDIBitsToDevice(dc, part.left, part.top, static_cast<DWORD>(part.width()),
                      static_cast<DWORD>(part.height()), part.left, 0, 0,
                      static_cast<UINT>(part.height()), rows, &info, DIB_RGB_COLORS);
}
