#include "app/window_paint.h"

#include <mutex>

#include "app/shell_state.h"
#include "app/surface_blit.h"
#include "app/tile_moderation.h"
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
    blitSurface(dc, frame, frame.bounds());
}

}  // namespace

void paintMainWindow(HWND window) {
    recordWindowGeometry(window);
    std::unique_lock<std::mutex> lock(appState().appMutex, std::try_to_lock);
    PaintScope paint(window);
    if (lock.owns_lock() && appState().tilesPending.load() == 1) {
        withdrawHiddenQueuedTiles();
    }
    composeFrame(lock.owns_lock());
    RECT client{};
    GetClientRect(window, &client);
    Surface& frame = shellState().clientFrame;
    presentFrame(frame, client.right - client.left, client.bottom - client.top);
    copyFrameToWindow(paint.dc(), frame, client);
}
