#pragma once

#include <windows.h>

// The PIN authorisation of a first start, with the user's browser, the PIN dialog and a
// message box when it fails; owner owns the dialog and the box. Stores the access pair in
// ./txts/key.txt.
void authoriseFirstStart(HWND owner);
