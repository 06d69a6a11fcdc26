#pragma once

#include <windows.h>

#include <cstdint>

// The header of a 32-bit top-down device-independent bitmap of that size, the layout a
// Surface keeps its pixels in.
inline BITMAPINFO topDownBitmapInfo(std::int32_t width, std::int32_t height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}
