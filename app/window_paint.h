#pragma once

#include <windows.h>

// The paint message: records the geometry, composes the frame in the back buffer (placing
// queued tiles only when the application mutex is free at once) and copies the finished
// client-sized frame onto the window.
void paintMainWindow(HWND window);
