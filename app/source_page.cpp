#include "app/source_page.h"

#include <string>
#include <utility>

#include "app/dialog_controls.h"
#include "app/logic/source_choices.h"
#include "app/shell_seams.h"
#include "app/shell_state.h"
#include "http/code_page.h"
#include "resources/resource.h"

namespace {

// The designed service was chosen on OK; its credentials are settled once the dialog is gone.
bool designedChosen = false;

HWND sourceList(HWND page) {
    return GetDlgItem(page, IDC_SOURCE_LIST);
}

SearchSource selectedSource(HWND page) {
    const LRESULT index = SendMessageW(sourceList(page), CB_GETCURSEL, 0, 0);
    const auto rows = sourceRows();
    if (index < 0 || static_cast<std::size_t>(index) >= rows.size()) {
        return SearchSource::Designed;
    }
    return rows[static_cast<std::size_t>(index)].source;
}

// The address and token are asked for only where the chosen source reads them.
void showSourceRow(HWND page) {
    const SourceRow& row = sourceRow(selectedSource(page));
    SetDlgItemTextW(page, IDC_SOURCE_MEANING, row.keywordMeaning);
    EnableWindow(GetDlgItem(page, IDC_ACCESS_TOKEN), row.takesToken);
    SetDlgItemTextW(page, IDC_SERVER_LABEL,
                    row.needsServer ? L"サーバー(必須)" : L"サーバー(空欄で既定)");
}

void fillSourcePage(HWND page) {
    const SourceChoices choices = sourceChoicesOf(serviceConfig());
    HWND list = sourceList(page);
    int selected = 0;
    int index = 0;
    for (const SourceRow& row : sourceRows()) {
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.label));
        if (row.source == choices.source) {
            selected = index;
        }
        ++index;
    }
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    SetDlgItemTextW(page, IDC_SERVER_URL, ToWide(choices.serverUrl).c_str());
    SetDlgItemTextW(page, IDC_ACCESS_TOKEN, ToWide(choices.accessToken).c_str());
    setChecked(page, IDC_SHOW_SENSITIVE, choices.showSensitive);
    showSourceRow(page);
}

SourceChoices choicesOfPage(HWND page) {
    SourceChoices choices;
    choices.source = selectedSource(page);
    choices.serverUrl = toThreadAnsi(controlText(GetDlgItem(page, IDC_SERVER_URL)));
    choices.accessToken = toThreadAnsi(controlText(GetDlgItem(page, IDC_ACCESS_TOKEN)));
    choices.showSensitive = isChecked(page, IDC_SHOW_SENSITIVE);
    return choices;
}

void reportProblem(HWND page, SourceProblem problem) {
    const wchar_t* text = problem == SourceProblem::ServerNeeded
                              ? L"この取得元にはサーバーのアドレスが必要です。"
                              : L"サーバーのアドレスは https:// で始めてください。";
    MessageBoxW(GetParent(page), text, L"取得元", MB_OK | MB_ICONWARNING);
    SetFocus(GetDlgItem(page, IDC_SERVER_URL));
}

}  // namespace

INT_PTR CALLBACK sourcePageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        fillSourcePage(page);
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_SOURCE_LIST &&
        HIWORD(wParam) == CBN_SELCHANGE) {
        showSourceRow(page);
        return TRUE;
    }
    return FALSE;
}

bool storeSourcePage(HWND page) {
    const SourceChoices choices = choicesOfPage(page);
    if (const auto problem = sourceChoicesProblem(choices)) {
        reportProblem(page, *problem);
        return false;
    }
    const bool wasDesigned = serviceConfig().source == SearchSource::Designed;
    storeSourceChoices(choices);
    designedChosen = choices.source == SearchSource::Designed && !wasDesigned;
    return true;
}

void settleSourceChange() {
    if (std::exchange(designedChosen, false)) {
        ensureCredentials(shellState().instance);
    }
}
