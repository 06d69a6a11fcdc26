#pragma once

#include <windows.h>

// The exit command and the system's close request: asks a running search worker to stop,
// waits for it, takes the application mutex and destroys the window.
void exitProgram(HWND window);

// Log-off or shut-down: the system ends the process once the window answers, so the worker
// is stopped and the options (and the wall, when it is to come back) written as the exit
// command and shutdown would, and nothing else is released.
void saveAtEndOfSession();

// After the message loop: asks the worker to stop and waits for it (a loop ended some other
// way, such as a quit message from outside, has done neither), stops the copy threads,
// releases the drawing surfaces, writes the option file (and the wall, when it is to come
// back) and releases the selection copy, the queue and the grid.
void shutDownProgram();
