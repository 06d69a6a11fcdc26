#pragma once

#include <windows.h>

// Right button down at a client point: selects the tile there, ticks the menu items, shows
// the context menu at that point and ends the selection once the menu has closed. The chosen
// command arrives afterwards as WM_COMMAND.
void runContextMenu(HWND window, int x, int y);

// A popup is about to open: "固定状態のタイルを表示" follows kotei_render.
void updatePinnedMarksCheck();
