#include "app/enlarged_view.h"

#include <optional>

#include "app/logic/enlarged_view_geometry.h"
#include "app/shell_state.h"
#include "app/surface_blit.h"
#include "app/win_handles.h"
#include "app/window_geometry.h"
#include "mosaic/search/search_state.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/tile_grid.h"
#include "resources/resource.h"
#include "settings/option_store.h"

namespace {

constexpr INT_PTR kViewClosed = 1;

Rect rectOf(const RECT& r) {
    return Rect{r.left, r.top, r.right, r.bottom};
}

// The top-left corner of the area all screens cover together: (0, 0) on a single screen.
ScreenOrigin screenOrigin() {
    return ScreenOrigin{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN)};
}

void moveWithoutRepaint(HWND view, const Rect& r) {
    MoveWindow(view, r.left, r.top, r.width(), r.height(), FALSE);
}

// A client area of the copy's size for the view's own style, centred on the screen.
INT_PTR onInitDialog(HWND view) {
    ShellState& shell = shellState();
    if (shell.enlargedOpen != 1) {
        return TRUE;
    }
    shell.enlargedPlaced = 0;
    RECT outer{0, 0, shell.enlargedCopy.width, shell.enlargedCopy.height};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(view, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(view, GWL_EXSTYLE)));
    SetWindowPos(view, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    centreOnMainWindowScreen(view);
    RECT placed{};
    GetWindowRect(view, &placed);
    shell.enlargedRect = recordedEnlargedRect(rectOf(placed), screenOrigin());
    shell.enlargedSize = SIZE{placed.right - placed.left, placed.bottom - placed.top};
    shell.enlargedPlaced = 1;
    return TRUE;
}

// Dragging never changes the view's size.
INT_PTR onMove(HWND view) {
    ShellState& shell = shellState();
    RECT outer{};
    if (shell.enlargedPlaced != 1 || !GetWindowRect(view, &outer)) {
        return FALSE;
    }
    const EnlargedPlacement placement = keepEnlargedSize(rectOf(outer), shell.enlargedSize.cx,
                                                         shell.enlargedSize.cy, screenOrigin());
    shell.enlargedRect = placement.recorded;
    moveWithoutRepaint(view, placement.window);
    InvalidateRect(view, nullptr, FALSE);
    return TRUE;
}

// Only the part of the picture from the screen's left and top edges on is drawn.
void drawVisiblePart(HDC dc) {
    const ShellState& shell = shellState();
    const Surface& copy = shell.enlargedCopy;
    const Rect part =
        visibleEnlargedPart(copy, shell.enlargedRect, shell.enlargedSize.cx, shell.enlargedSize.cy);
    if (part.width() <= 0 || part.height() <= 0) {
        return;
    }
    blitSurface(dc, copy, part);
}

INT_PTR onPaint(HWND view) {
    PaintScope paint(view);
    if (shellState().enlargedOpen == 1) {
        drawVisiblePart(paint.dc());
    }
    return TRUE;
}

INT_PTR closeView(HWND view) {
    EndDialog(view, kViewClosed);
    return TRUE;
}

// A press anywhere acts as a press on the caption, so the system drags the view.
INT_PTR onLButtonDown(HWND view, LPARAM lParam) {
    PostMessageW(view, WM_NCLBUTTONDOWN, HTCAPTION, lParam);
    return TRUE;
}

INT_PTR CALLBACK enlargedViewProcedure(HWND view, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return onInitDialog(view);
        case WM_MOVE:
            return onMove(view);
        case WM_PAINT:
            return onPaint(view);
        case WM_LBUTTONDOWN:
            return onLButtonDown(view, lParam);
        case WM_RBUTTONUP:
        case WM_CLOSE:
            return closeView(view);
        case WM_COMMAND:
            // Esc reaches the view as IDCANCEL from the dialog manager.
            return LOWORD(wParam) == IDCANCEL ? closeView(view) : FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

void openEnlargedView(HWND owner, int x, int y) {
    const Tile* tile = tileAt(x, y);
    if (tile == nullptr) {
        return;
    }
    std::optional<Surface> picture = naturalPicture(*tile);
    if (!picture) {
        return;
    }
    ShellState& shell = shellState();
    shell.enlargedOpen = 1;
    if (optionValue(OptionKey::UpdateWhileEnlarged) == 0) {
        pauseSearch();
    }
    shell.enlargedCopy = std::move(*picture);
    DialogBoxParamW(shell.instance, MAKEINTRESOURCEW(IDD_ENLARGED_VIEW), owner,
                    enlargedViewProcedure, 0);
    shell.enlargedCopy = Surface{};
    shell.enlargedPlaced = 0;
    shell.enlargedOpen = 0;
    resumeSearch();
}
