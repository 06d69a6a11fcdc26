#pragma once

#include <windows.h>

// Registers the class "TWITTER_ORVELAN" with the main window procedure.
bool registerMainWindowClass(HINSTANCE instance);

// The main window, not yet shown, at (x, y) with outer size width × height.
HWND createMainWindow(HINSTANCE instance, DWORD style, int x, int y, int width, int height);

LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
