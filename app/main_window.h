#pragma once

#include <windows.h>

// Registers the class "TWITTER_ORVELAN" with the main window procedure.
bool registerMainWindowClass(HINSTANCE instance);

// The main window, not yet shown, at (x, y) with outer size width × height.
HWND createMainWindow(HINSTANCE instance, DWORD style, int x, int y, int width, int height);

// The exit command and the system's close request: asks a running search worker to stop,
// waits for it, takes the application mutex and destroys the window.
void exitProgram(HWND window);

LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
