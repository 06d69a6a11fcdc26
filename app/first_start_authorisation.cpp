#include "app/first_start_authorisation.h"

#include <objbase.h>
#include <shellapi.h>

#include <string>

#include "app/pin_dialog.h"
#include "http/pin_authorisation_operations.h"

namespace {

std::wstring fromAnsiCodePage(const std::string& text) {
    const int units = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(),
                                          static_cast<int>(text.size()), nullptr, 0);
    if (units <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), static_cast<int>(text.size()),
                        wide.data(), units);
    return wide;
}

// The shell may hand the address to a handler that needs COM on this thread.
void openInBrowser(const std::string& address) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ShellExecuteW(nullptr, nullptr, fromAnsiCodePage(address).c_str(), nullptr, nullptr,
                  SW_SHOWNORMAL);
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
}

void reportAuthorisationFailure(HWND owner) {
    MessageBoxW(owner, L"認証に失敗しました。次回起動時に再度認証します。", L"認証失敗",
                MB_OK | MB_ICONWARNING);
}

}  // namespace

void authoriseFirstStart(HWND owner) {
    PinAuthorisationServices services = serviceOperationsForPinAuthorisation();
    services.openBrowser = openInBrowser;
    services.askForPin = [owner] { return showPinDialog(owner); };
    services.reportFailure = [owner] { reportAuthorisationFailure(owner); };
    RunPinAuthorisation(services);
}
