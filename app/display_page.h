#pragma once

#include <windows.h>

// The settings dialog's "表示" page: how tiles look, what the wall skips, how it starts.
INT_PTR CALLBACK displayPageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// OK: stores the page's choices in txts/wall.txt and applies them.
void storeDisplayPage(HWND page);
