#pragma once

#include <windows.h>

#include <optional>

#include "app/sight_notifications.h"
#include "app/win_handles.h"
#include "mosaic/raster/surface.h"

// The Win32 side of the process-wide state; the portable side is appState().
struct ShellState {
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    // Menu 105 as loaded, and its first popup, which right-click shows.
    UniqueMenu contextMenuResource;
    HMENU contextMenu = nullptr;
    // While the main window exists.
    std::optional<SightNotifications> sightNotifications;
    // The finished client-sized frame handed to the window; kept between paints.
    Surface clientFrame;
    // The client rectangle the previous paint saw; all zero before the first paint, so the
    // first paint always rescales the grid.
    RECT lastClientRect{};
    // kDragPressed between a caption press and the move message after it.
    int dragState = 0;
    SIZE dragSize{};
    // The enlarged view: 1 while it is open; the copy of the tile's picture that it shows; its
    // outer rectangle as last recorded, left and top raised to 0; its outer size, fixed when
    // it opens; 1 once it has been placed at opening.
    int enlargedOpen = 0;
    Surface enlargedCopy;
    Rect enlargedRect;
    SIZE enlargedSize{};
    int enlargedPlaced = 0;
};

ShellState& shellState();

inline constexpr int kDragPressed = 2;
inline constexpr int kDragNone = -999;

inline constexpr const wchar_t* kMainWindowClass = L"TWITTER_ORVELAN";
inline constexpr const wchar_t* kMainWindowTitle = L"tilvane";
inline constexpr UINT_PTR kSearchTimerId = 1;
inline constexpr UINT kSearchTimerPeriodMs = 10000;
// Posted by the search worker: the timeline's server refused to show it without a token.
inline constexpr UINT kTimelineRefusedMessage = WM_APP + 1;
