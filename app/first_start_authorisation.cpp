#include "app/first_start_authorisation.h"

#include <objbase.h>
#include <shellapi.h>

#include <string>

#include "app/pin_dialog.h"
#include "http/code_page.h"
#include "http/pin_authorisation_operations.h"

// The shell may hand the address to a handler that needs COM on this thread.
void openInBrowser(const std::string& address) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ShellExecuteW(nullptr, nullptr, ToWide(address).c_str(), nullptr, nullptr, SW_SHOW);
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
}

namespace {

void reportAuthorisationFailure(HWND owner) {
    MessageBoxW(owner,
                L"認証に失敗しました。次回起動時に再度認証します。"
                L"設定 → 取得元 で別の取得元も選べます。",
                L"認証失敗", MB_OK | MB_ICONWARNING);
}

}  // namespace

void authoriseFirstStart(HWND owner) {
    PinAuthorisationServices services = serviceOperationsForPinAuthorisation();
    services.openBrowser = openInBrowser;
    services.askForPin = [owner] { return showPinDialog(owner); };
    services.reportFailure = [owner] { reportAuthorisationFailure(owner); };
    RunPinAuthorisation(services);
}
