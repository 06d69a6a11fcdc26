#include "app/window_paint.h"

#include <mutex>

#include "app/shell_state.h"
#include "app/window_geometry.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/compositing.h"

namespace {

void copyFrameToWindow(HDC dc, const Surface& frame, const RECT& client) {
    // A client area too large for a frame in memory shows black.
    if (frame.empty()) {
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        return;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = frame.width;
    info.bmiHeader.biHeight = -frame.height;  // top-down rows, as a Surface keeps them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(frame.width), static_cast<DWORD>(frame.height),
                      0, 0, 0, static_cast<UINT>(frame.height), frame.pixels.data(), &info,
                      DIB_RGB_COLORS);
}

}  // namespace

void paintMainWindow(HWND window) {
    recordWindowGeometry(window);
    std::unique_lock<std::mutex> lock(appState().appMutex, std::try_to_lock);
    PaintScope paint(window);
    composeFrame(lock.owns_lock());
    RECT client{};
    GetClientRect(window, &client);
    Surface& frame = shellState().clientFrame;
    presentFrame(frame, client.right - client.left, client.bottom - client.top);
    copyFrameToWindow(paint.dc(), frame, client);
}
