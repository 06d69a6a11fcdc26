#include "app/window_geometry.h"

#include <algorithm>
#include <limits>

#include "app/logic/screen_placement.h"
#include "app/shell_state.h"
#include "mosaic/wall/compositing.h"
#include "mosaic/wall/tile_grid.h"
#include "settings/option_store.h"

DWORD mainWindowStyle(std::int32_t frameFixed) {
    return frameFixed != 0 ? WS_POPUP : WS_POPUP | WS_THICKFRAME;
}

void applyStartupStacking(HWND window, std::int32_t stackingOrder) {
    if (stackingOrder == kStackTopmost) {
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOOWNERZORDER);
    } else if (stackingOrder == kStackBottom) {
        SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
}

void settleBottomStacking(HWND window, std::int32_t stackingOrder) {
    if (stackingOrder == kStackBottom) {
        SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void recordWindowGeometry(HWND window) {
    RECT outer{};
    RECT client{};
    if (!GetWindowRect(window, &outer) || !GetClientRect(window, &client)) {
        return;
    }
    setOptionValue(OptionKey::WindowX, outer.left);
    setOptionValue(OptionKey::WindowY, outer.top);
    RECT& last = shellState().lastClientRect;
    const LONG clientWidth = client.right - client.left;
    const LONG clientHeight = client.bottom - client.top;
    if (clientWidth != last.right - last.left || clientHeight != last.bottom - last.top) {
        setOptionValue(OptionKey::WindowWidth, outer.right - outer.left);
        setOptionValue(OptionKey::WindowHeight, outer.bottom - outer.top);
        rescaleGrid(clientWidth, clientHeight);
        last = client;
    }
}

void keepAtBottomWhenRequired(WINDOWPOS& position) {
    if (optionValue(OptionKey::StackingOrder) == kStackBottom) {
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

const SizePreset* sizePresetFor(WORD command) {
    for (const SizePreset& preset : kSizePresets) {
        if (preset.command == command) {
            return &preset;
        }
    }
    return nullptr;
}

namespace {

RECT monitorRect(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (monitor == nullptr || !GetMonitorInfoW(monitor, &info)) {
        return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    return info.rcMonitor;
}

POINT centredOn(const RECT& screen, int width, int height) {
    const Point origin =
        centredOrigin(Rect{screen.left, screen.top, screen.right, screen.bottom}, width, height);
    return POINT{origin.x, origin.y};
}

LONG clampedSum(LONG start, int length) {
    const long long end = static_cast<long long>(start) + std::max(length, 1);
    return static_cast<LONG>(std::min<long long>(end, std::numeric_limits<LONG>::max()));
}

void setWindowBorder(HWND window, bool sizing) {
    LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    style = sizing ? style | WS_THICKFRAME : style & ~static_cast<LONG_PTR>(WS_THICKFRAME);
    SetWindowLongPtrW(window, GWL_STYLE, style);
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
}

}  // namespace

RECT screenRectOf(HWND window) {
    if (window == nullptr) {
        return monitorRect(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
    }
    return monitorRect(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

POINT centreOnScreen(HWND reference, int width, int height) {
    return centredOn(screenRectOf(reference), width, height);
}

void centreOnMainWindowScreen(HWND window) {
    RECT outer{};
    if (!GetWindowRect(window, &outer)) {
        return;
    }
    HWND reference = shellState().mainWindow != nullptr ? shellState().mainWindow : window;
    const POINT origin =
        centreOnScreen(reference, outer.right - outer.left, outer.bottom - outer.top);
    SetWindowPos(window, nullptr, origin.x, origin.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

POINT reachableWindowOrigin(int x, int y, int width, int height) {
    const RECT stored{x, y, clampedSum(x, width), clampedSum(y, height)};
    if (MonitorFromRect(&stored, MONITOR_DEFAULTTONULL) != nullptr) {
        return POINT{x, y};
    }
    return centredOn(monitorRect(MonitorFromRect(&stored, MONITOR_DEFAULTTONEAREST)), width,
                     height);
}

void applySizePreset(HWND window, int width, int height) {
    shellState().dragState = kDragNone;
    const POINT origin = centreOnScreen(window, width, height);
    MoveWindow(window, origin.x, origin.y, width, height, FALSE);
    InvalidateRect(window, nullptr, TRUE);
}

void fitToScreen(HWND window) {
    const RECT screen = screenRectOf(window);
    applySizePreset(window, screen.right - screen.left, screen.bottom - screen.top);
}

void toggleWindowFrame(HWND window) {
    if (optionIsOn(OptionKey::FrameFixed)) {
        setOptionValue(OptionKey::FrameFixed, 0);
        setWindowBorder(window, true);
    } else {
        setOptionValue(OptionKey::FrameFixed, 1);
        if ((GetWindowLongPtrW(window, GWL_STYLE) & WS_THICKFRAME) != 0) {
            setWindowBorder(window, false);
        }
    }
    InvalidateRect(window, nullptr, TRUE);
}

void chooseStacking(HWND window, std::int32_t stackingOrder) {
    setOptionValue(OptionKey::StackingOrder, stackingOrder);
    constexpr UINT kKeepRect = SWP_NOMOVE | SWP_NOSIZE;
    if (stackingOrder == kStackBottom) {
        constexpr UINT flags = kKeepRect | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
        SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, flags);
    } else if (stackingOrder == kStackNormal) {
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, kKeepRect);
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, kKeepRect);
    } else {
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, kKeepRect | SWP_NOOWNERZORDER);
    }
}
