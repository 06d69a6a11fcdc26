#pragma once

#include <windows.h>

// The context menu's commands, by the low word of WM_COMMAND's first parameter. Returns false
// for a command it does not know, which then goes to default processing.
bool handleMenuCommand(HWND window, WORD command);
