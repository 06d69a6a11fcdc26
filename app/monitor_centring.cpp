#include "app/monitor_centring.h"

#include "app/shell_state.h"

void centreOnMainWindowMonitor(HWND window) {
    RECT outer{};
    if (!GetWindowRect(window, &outer)) {
        return;
    }
    HWND anchor = shellState().mainWindow != nullptr ? shellState().mainWindow : window;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(anchor, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return;
    }
    const RECT& screen = monitor.rcMonitor;
    const LONG width = outer.right - outer.left;
    const LONG height = outer.bottom - outer.top;
    const LONG x = (screen.right - screen.left - width) / 2;
    const LONG y = (screen.bottom - screen.top - height) / 2;
    SetWindowPos(window, nullptr, screen.left + (x < 0 ? 0 : x), screen.top + (y < 0 ? 0 : y), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}
