#pragma once

#include <windows.h>

// The settings dialog's "取得元" page: where the pictures come from.
INT_PTR CALLBACK sourcePageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// OK: false (with a box saying why, the page shown) when the choices cannot be taken; the
// dialog then stays open. Otherwise txts/service.txt holds them and they are current.
bool storeSourcePage(HWND page);

// After the dialog has closed: the designed service chosen without a usable key.txt asks for
// the PIN as a first start does.
void settleSourceChange();
