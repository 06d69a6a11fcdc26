#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// Helpers shared by the settings dialog's pages.
std::wstring controlText(HWND control);
bool isChecked(HWND page, int id);
void setChecked(HWND page, int id, bool checked);

// Characters the code page lacks become its default character. The result is cut to whole
// characters within the store's limit, so a double-byte character is never split.
std::string toThreadAnsi(std::wstring_view wide);
