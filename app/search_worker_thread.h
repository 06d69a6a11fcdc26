#pragma once

#include <windows.h>

// Timer tick: starts one search worker thread, but only while searching is enabled, no
// result waits for placement and the previous worker has ended (whose handle is then closed).
// Returns whether a worker was started.
bool startSearchWorkerWhenIdle(HWND mainWindow);

// Waits without a time limit for the last worker started, then forgets it.
void waitForSearchWorker();
