#pragma once

#include <windows.h>

#include <cstdint>

// WS_POPUP, with the sizing border when the frame is not fixed (window_kotei 0).
DWORD mainWindowStyle(std::int32_t windowKotei);

// Start-up stacking from window_zzahyo: 2 topmost, 0 bottom, anything else unchanged.
void applyStartupStacking(HWND window, std::int32_t windowZzahyo);

// After the window is first shown: the bottom mode puts it back under the other windows,
// since showing a window may raise it without asking its window procedure (Wine does).
void settleBottomStacking(HWND window, std::int32_t windowZzahyo);

// First step of every paint: records the outer position, and when the client size changed the
// outer size, and rescales the grid to the client size.
void recordWindowGeometry(HWND window);

// Window position changing: while window_zzahyo is 0 (or missing) the window goes back to the
// bottom of the stacking order.
void keepAtBottomWhenRequired(WINDOWPOS& position);

// Caption press (hit code HTCAPTION): remembers the outer size, so that the move that follows
// keeps it; any other hit code forgets a pending press.
void beginWindowMove(HWND window, WPARAM hitCode);

// Move message: after a caption press the window keeps the outer size captured at the press,
// anchored at its bottom-right corner.
void handleWindowMove(HWND window);
