#include "app/window_geometry.h"

#include "app/shell_state.h"
#include "mosaic/tile_grid.h"
#include "settings/option_store.h"

DWORD mainWindowStyle(std::int32_t windowKotei) {
    return windowKotei != 0 ? WS_POPUP : WS_POPUP | WS_THICKFRAME;
}

void applyStartupStacking(HWND window, std::int32_t windowZzahyo) {
    if (windowZzahyo == 2) {
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOOWNERZORDER);
    } else if (windowZzahyo == 0) {
        SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
}

void settleBottomStacking(HWND window, std::int32_t windowZzahyo) {
    if (windowZzahyo == 0) {
        SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void recordWindowGeometry(HWND window) {
    RECT outer{};
    RECT client{};
    if (!GetWindowRect(window, &outer) || !GetClientRect(window, &client)) {
        return;
    }
    setOption("window_x", outer.left);
    setOption("window_y", outer.top);
    RECT& last = shellState().lastClientRect;
    const LONG clientWidth = client.right - client.left;
    const LONG clientHeight = client.bottom - client.top;
    if (clientWidth != last.right - last.left || clientHeight != last.bottom - last.top) {
        setOption("window_wid", outer.right - outer.left);
        setOption("window_hei", outer.bottom - outer.top);
        rescaleGrid(clientWidth, clientHeight);
        last = client;
    }
}

void keepAtBottomWhenRequired(WINDOWPOS& position) {
    std::int32_t windowZzahyo = 0;
    getOption("window_zzahyo", &windowZzahyo);
    if (windowZzahyo == 0) {
        position.hwndInsertAfter = HWND_BOTTOM;
    }
}

void beginWindowMove(HWND window, WPARAM hitCode) {
    ShellState& shell = shellState();
    RECT outer{};
    if (hitCode == HTCAPTION && GetWindowRect(window, &outer)) {
        shell.dragSize = SIZE{outer.right - outer.left, outer.bottom - outer.top};
        shell.dragState = kDragPressed;
    } else {
        shell.dragState = kDragNone;
    }
}

void handleWindowMove(HWND window) {
    ShellState& shell = shellState();
    RECT outer{};
    if (!GetWindowRect(window, &outer)) {
        return;
    }
    if (shell.dragState == kDragPressed) {
        shell.dragState = kDragNone;
        outer.left = outer.right - shell.dragSize.cx;
        outer.top = outer.bottom - shell.dragSize.cy;
    }
    MoveWindow(window, outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top,
               FALSE);
    InvalidateRect(window, nullptr, FALSE);
}
