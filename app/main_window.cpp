#include "app/main_window.h"

#include <mutex>

#include "app/context_menu.h"
#include "app/menu_commands.h"
#include "app/program_exit.h"
#include "app/shell_seams.h"
#include "app/shell_state.h"
#include "app/sight_notifications.h"
#include "app/window_geometry.h"
#include "app/window_paint.h"
#include "mosaic/search/search_worker_loop.h"
#include "mosaic/wall/app_state.h"
#include "resources/resource.h"

namespace {

LRESULT onCreate(HWND window) {
    ShellState& shell = shellState();
    shell.sightNotifications.emplace(window);
    shell.contextMenuResource.reset(LoadMenuW(shell.instance, MAKEINTRESOURCEW(IDR_CONTEXT_MENU)));
    shell.contextMenu = shell.contextMenuResource.get() != nullptr
                            ? GetSubMenu(shell.contextMenuResource.get(), 0)
                            : nullptr;
    return 0;
}

LRESULT onDestroy(HWND) {
    ShellState& shell = shellState();
    shell.contextMenu = nullptr;
    shell.contextMenuResource.reset();
    shell.sightNotifications.reset();
    PostQuitMessage(0);
    return 0;
}

LRESULT onSize(HWND window) {
    InvalidateRect(window, nullptr, TRUE);
    return 0;
}

LRESULT onPaint(HWND window) {
    paintMainWindow(window);
    return 0;
}

LRESULT onTimer(HWND window, WPARAM wParam, LPARAM lParam) {
    startSearchCycleWhenIdle();
    return DefWindowProcW(window, WM_TIMER, wParam, lParam);
}

LRESULT onCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    if (handleMenuCommand(window, LOWORD(wParam))) {
        return 0;
    }
    return DefWindowProcW(window, WM_COMMAND, wParam, lParam);
}

LRESULT onClose(HWND window) {
    exitProgram(window);
    return 0;
}

// The system may end the process as soon as the answer is given, so the options are written
// before it.
LRESULT onEndSession(WPARAM sessionEnds) {
    if (sessionEnds != FALSE) {
        saveAtEndOfSession();
    }
    return 0;
}

LRESULT onWindowPosChanging(HWND window, WPARAM wParam, LPARAM lParam) {
    keepAtBottomWhenRequired(*reinterpret_cast<WINDOWPOS*>(lParam));
    return DefWindowProcW(window, WM_WINDOWPOSCHANGING, wParam, lParam);
}

LRESULT onNcLButtonDown(HWND window, WPARAM wParam, LPARAM lParam) {
    beginWindowMove(window, wParam);
    return DefWindowProcW(window, WM_NCLBUTTONDOWN, wParam, lParam);
}

LRESULT onMove(HWND window) {
    handleWindowMove(window);
    return 0;
}

// Pressing anywhere in the client area acts as a press on the caption, so the system moves
// the window while the button is held.
LRESULT onLButtonDown(HWND window, LPARAM lParam) {
    PostMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, lParam);
    return 0;
}

LRESULT onLButtonDoubleClick(HWND window, LPARAM lParam) {
    openEnlargedViewAt(window, LOWORD(lParam), HIWORD(lParam));
    return 0;
}

LRESULT onRButtonDown(HWND window, LPARAM lParam) {
    runContextMenu(window, LOWORD(lParam), HIWORD(lParam));
    return 0;
}

LRESULT onInitMenuPopup(HWND window, WPARAM wParam, LPARAM lParam) {
    updatePinnedMarksCheck();
    return DefWindowProcW(window, WM_INITMENUPOPUP, wParam, lParam);
}

LRESULT onTimelineRefused(HWND window) {
    MessageBoxW(
        window,
        L"サーバーがハッシュタグのタイムラインを公開していません。"
        L"txts/service.txt の access_token にこのサーバーのアクセストークンを書いてください。",
        L"タイムライン取得失敗", MB_OK | MB_ICONWARNING);
    return 0;
}

}  // namespace

bool registerMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = mainWindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kMainWindowClass;
    return RegisterClassExW(&windowClass) != 0;
}

HWND createMainWindow(HINSTANCE instance, DWORD style, int x, int y, int width, int height) {
    return CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, style, x, y, width, height,
                           nullptr, nullptr, instance, nullptr);
}

LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return onCreate(window);
        case WM_DESTROY:
            return onDestroy(window);
        case WM_MOVE:
            return onMove(window);
        case WM_SIZE:
            return onSize(window);
        case WM_PAINT:
            return onPaint(window);
        case WM_WINDOWPOSCHANGING:
            return onWindowPosChanging(window, wParam, lParam);
        case WM_NCLBUTTONDOWN:
            return onNcLButtonDown(window, wParam, lParam);
        case WM_COMMAND:
            return onCommand(window, wParam, lParam);
        case WM_CLOSE:
            return onClose(window);
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            return onEndSession(wParam);
        case WM_TIMER:
            return onTimer(window, wParam, lParam);
        case WM_WTSSESSION_CHANGE:
            return onSessionChange(wParam);
        case WM_POWERBROADCAST:
            return onPowerBroadcast(wParam, lParam);
        case WM_INITMENUPOPUP:
            return onInitMenuPopup(window, wParam, lParam);
        case WM_LBUTTONDOWN:
            return onLButtonDown(window, lParam);
        case WM_LBUTTONDBLCLK:
            return onLButtonDoubleClick(window, lParam);
        case WM_RBUTTONDOWN:
            return onRButtonDown(window, lParam);
        case kTimelineRefusedMessage:
            return onTimelineRefused(window);
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}
