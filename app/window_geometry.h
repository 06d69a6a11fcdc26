#pragma once

#include <windows.h>

#include <cstdint>

#include "resources/resource.h"
#include "settings/option_table.h"

// The items of "ウィンドウサイズ" that set a fixed outer size.
struct SizePreset {
    WORD command;
    int width;
    int height;
};

inline constexpr SizePreset kSizePresets[] = {
    {IDM_SIZE_320X240, 320, 240}, {IDM_SIZE_640X480, 640, 480},   {IDM_SIZE_750X375, 750, 375},
    {IDM_SIZE_900X525, 900, 525}, {IDM_SIZE_1200X600, 1200, 600}, {IDM_SIZE_1500X750, 1500, 750},
};

// The preset of a menu command, or none.
const SizePreset* sizePresetFor(WORD command);

// The full rectangle (not the work area) of the monitor that holds the window, or of the
// nearest one; of the primary monitor for no window.
RECT screenRectOf(HWND window);

// The top-left corner that centres a width × height window on the screen of reference (see
// screenRectOf), each coordinate at the screen's edge where it does not fit. Also places the
// dialogs.
POINT centreOnScreen(HWND reference, int width, int height);

// Moves a dialog, keeping its outer size and without repainting, to the centre of the screen
// that holds the main window.
void centreOnMainWindowScreen(HWND window);

// Start-up: the stored corner, unless the stored rectangle lies wholly off every monitor; it
// then comes back centred on the nearest one.
POINT reachableWindowOrigin(int x, int y, int width, int height);

// A size preset (and the fit to the screen with the screen's size): centred on the window's
// screen, resized without an immediate repaint, then fully invalidated with erasing. The
// options follow on the next paint.
void applySizePreset(HWND window, int width, int height);
void fitToScreen(HWND window);

// "ウィンドウ枠の固定": flips OptionKey::FrameFixed and adds or removes the sizing border, keeping
// the outer size, position and stacking.
void toggleWindowFrame(HWND window);

// The stacking commands: stores the stacking order and restacks the window.
void chooseStacking(HWND window, std::int32_t stackingOrder);

// WS_POPUP, with the sizing border when the frame is not fixed.
DWORD mainWindowStyle(std::int32_t frameFixed);

// Start-up stacking: topmost or bottom, anything else leaves the window where it is.
void applyStartupStacking(HWND window, std::int32_t stackingOrder);

// After the window is first shown: the bottom mode puts it back under the other windows,
// since showing a window may raise it without asking its window procedure (Wine does).
void settleBottomStacking(HWND window, std::int32_t stackingOrder);

// First step of every paint: records the outer position, and when the client size changed the
// outer size, and rescales the grid to the client size.
void recordWindowGeometry(HWND window);

// Window position changing: while the stacking order is the bottom one the window goes back to
// the bottom.
void keepAtBottomWhenRequired(WINDOWPOS& position);

// Caption press (hit code HTCAPTION): remembers the outer size, so that the move that follows
// keeps it; any other hit code forgets a pending press.
void beginWindowMove(HWND window, WPARAM hitCode);

// Move message: after a caption press the window keeps the outer size captured at the press,
// anchored at its bottom-right corner.
void handleWindowMove(HWND window);
