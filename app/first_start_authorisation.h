#pragma once

#include <windows.h>

#include <string>

// Opens an address in the user's browser through the shell.
void openInBrowser(const std::string& address);

// The PIN authorisation of a first start, with the user's browser, the PIN dialog and a
// message box when it fails; owner owns the dialog and the box. Stores the access pair in
// ./txts/key.txt.
void authoriseFirstStart(HWND owner);
