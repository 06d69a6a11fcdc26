#pragma once

#include <windows.h>

// The settings dialog (tabs "全般", "拡大表示" and "表示"), modal over owner. OK puts the changes into
// the option store and returns true; キャンセル, Esc and the close box change nothing.
bool showSettingsDialog(HWND owner);
