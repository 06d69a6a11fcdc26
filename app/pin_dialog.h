#pragma once

#include <windows.h>

#include <array>
#include <string>

// The PIN dialog (template IDD_PIN): one digits-only field and OK. It can only be left
// through OK; an empty field is accepted. Escape and the close box leave it open, so the
// PIN flow always gets an answer.

// The field's text as read when OK was pressed, zero-terminated.
extern std::array<wchar_t, 256> pinWideText;

INT_PTR CALLBACK PinDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the dialog modally and returns the PIN in the ANSI code page once OK was pressed;
// pinText holds it too.
std::string showPinDialog(HWND owner);
