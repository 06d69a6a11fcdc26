#include "app/pin_dialog.h"

#include "app/shell_state.h"
#include "http/code_page.h"
#include "http/pin_text.h"
#include "resource.h"

std::array<wchar_t, 256> pinWideText{};

namespace {

// The PIN in the thread's ANSI code page, with its terminator at most as many bytes as the
// field has units; a text that does not fit counts as empty.
std::string pinInAnsiCodePage() {
    std::string ansi = ToThreadAnsi(std::wstring_view(pinWideText.data()));
    return ansi.size() < pinWideText.size() ? ansi : std::string();
}

void takePinFromField(HWND dialog) {
    pinWideText.fill(L'\0');
    GetDlgItemTextW(dialog, IDC_PIN_EDIT, pinWideText.data(), static_cast<int>(pinWideText.size()));
    pinText = pinInAnsiCodePage();
}

INT_PTR onPinCommand(HWND dialog, WORD command) {
    if (command == IDOK) {
        takePinFromField(dialog);
        EndDialog(dialog, 0);
    }
    // Cancel (Escape, the close box) and the field's notifications change nothing.
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK PinDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return FALSE;
        case WM_COMMAND:
            return onPinCommand(dialog, LOWORD(wParam));
        default:
            return FALSE;
    }
}

std::string showPinDialog(HWND owner) {
    pinText.clear();
    DialogBoxParamW(shellState().instance, MAKEINTRESOURCEW(IDD_PIN), owner, PinDialogProc, 0);
    return pinText;
}
