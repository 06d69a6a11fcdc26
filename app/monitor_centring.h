#pragma once

#include <windows.h>

// Moves window, keeping its outer size and without repainting, so that it is centred on the
// monitor that holds the main window: x = (monitor width − w) / 2 and y = (monitor height − h)
// / 2 from the monitor's corner, truncating, each raised to the monitor's left or top edge
// when the window does not fit.
void centreOnMainWindowMonitor(HWND window);
