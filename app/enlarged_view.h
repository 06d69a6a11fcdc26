#pragma once

#include <windows.h>

// Left double-click on the main window at a client point: shows the picture of the tile there
// at its natural size in a borderless view, modal over owner, until the right button is
// released over it, Esc is pressed or it is closed. Beside every tile nothing happens. While
// it is open searching pauses unless the option kaku_kousin is 1.
void openEnlargedView(HWND owner, int x, int y);
