#pragma once

#include <windows.h>

#include <string_view>

// Puts text (ANSI bytes) on the clipboard as CF_TEXT, owned by window. Returns false, with the
// clipboard unchanged, when the memory or the clipboard cannot be had.
bool copyTextToClipboard(HWND window, std::string_view text);
