#pragma once

#include <windows.h>

// Start-up and command hooks into subsystems that plug into the shell one function each.

// Puts the tiles listed in ./txts/kotei_jpgs.txt into the grid.
void loadPinnedTilesAtStartup();

// Reads ./txts/key.txt, running the PIN authorisation first when it holds no token, and
// publishes the process-lifetime credentials. Does nothing when ./txts/service.txt chose
// another source than the designed service: the others need neither.
void ensureCredentials(HINSTANCE instance);

// Obtains an access token through the service's PIN flow (browser, PIN dialog) and stores
// it in ./txts/key.txt; when that fails the user is told and the program runs on without.
void runPinAuthorisation(HINSTANCE instance);

// Left double-click at a client point: the enlarged view of the tile there.
void openEnlargedViewAt(HWND window, int x, int y);
