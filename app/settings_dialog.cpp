#include "app/settings_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/logic/dialog_choices.h"
#include "app/shell_state.h"
#include "app/window_geometry.h"
#include "http/code_page.h"
#include "mosaic/search/search_state.h"
#include "mosaic/wall/app_state.h"
#include "resources/resource.h"
#include "settings/option_store.h"

namespace {

constexpr INT_PTR kClosedByOk = 1;
constexpr INT_PTR kClosedBySystem = 2;

constexpr std::array<int, 3> kIntervalButtons{IDC_INTERVAL_15, IDC_INTERVAL_25, IDC_INTERVAL_35};
constexpr std::array<int, 3> kCountButtons{IDC_COUNT_10, IDC_COUNT_20, IDC_COUNT_30};

// The two pages while the dialog is open; OK reads their controls.
struct SettingsPages {
    HWND general = nullptr;
    HWND enlarged = nullptr;
    bool stored = false;  // OK put the changes into the option store
};

SettingsPages& pages() {
    static SettingsPages open;
    return open;
}

// Characters the code page lacks become its default character. The result is cut to whole
// characters within the store's limit, so a double-byte character is never split.
std::string toThreadAnsi(std::wstring_view wide) {
    std::size_t units = std::min(wide.size(), kMaxValueBytes);
    while (units > 0 && ThreadAnsiBytes(wide.substr(0, units)) > kMaxValueBytes) {
        --units;
    }
    if (units > 0 && units < wide.size() && IS_HIGH_SURROGATE(wide[units - 1])) {
        --units;
    }
    wide = wide.substr(0, units);
    // The text ends at its first zero, as the store reads it.
    std::string bytes = ToThreadAnsi(wide);
    bytes.resize(std::min(bytes.size(), bytes.find('\0')));
    return bytes;
}

std::wstring controlText(HWND control) {
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int copied = GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

bool isChecked(HWND page, int id) {
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

void setChecked(HWND page, int id, bool checked) {
    CheckDlgButton(page, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void checkChoice(HWND page, const std::array<int, 3>& buttons,
                 std::span<const std::int32_t> choices, std::int32_t value) {
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        setChecked(page, buttons[i], choices[i] == value);
    }
}

std::optional<std::int32_t> readChoice(HWND page, const std::array<int, 3>& buttons,
                                       std::span<const std::int32_t> choices) {
    std::array<bool, 3> checked{};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        checked[i] = isChecked(page, buttons[i]);
    }
    return checkedChoice(checked, choices);
}

void fillGeneralPage(HWND page) {
    const SettingsChoices choices = loadSettingsChoices();
    SetDlgItemTextW(page, IDC_KEYWORD_EDIT, ToWide(choices.keyword).c_str());
    checkChoice(page, kIntervalButtons, kIntervalChoices, choices.searchInterval.value_or(0));
    checkChoice(page, kCountButtons, kCountChoices, choices.resultCount.value_or(0));
    setChecked(page, IDC_WARN_FEW_RESULTS, choices.warnFewResults);
}

void fillEnlargedPage(HWND page) {
    const SettingsChoices choices = loadSettingsChoices();
    setChecked(page, IDC_ORIGINAL_IMAGES, choices.originalImages);
    setChecked(page, IDC_UPDATE_WHILE_ENLARGED, choices.updateWhileEnlarged);
    setChecked(page, IDC_ALLOW_SEVERAL, choices.allowSeveral);
    setChecked(page, IDC_ATTACH_MESSAGE, choices.attachMessage);
}

SettingsChoices choicesOfPages(const SettingsPages& open) {
    SettingsChoices choices;
    choices.warnFewResults = isChecked(open.general, IDC_WARN_FEW_RESULTS);
    choices.searchInterval = readChoice(open.general, kIntervalButtons, kIntervalChoices);
    choices.resultCount = readChoice(open.general, kCountButtons, kCountChoices);
    choices.originalImages = isChecked(open.enlarged, IDC_ORIGINAL_IMAGES);
    choices.updateWhileEnlarged = isChecked(open.enlarged, IDC_UPDATE_WHILE_ENLARGED);
    choices.allowSeveral = isChecked(open.enlarged, IDC_ALLOW_SEVERAL);
    choices.attachMessage = isChecked(open.enlarged, IDC_ATTACH_MESSAGE);
    choices.keyword = toThreadAnsi(controlText(GetDlgItem(open.general, IDC_KEYWORD_EDIT)));
    return choices;
}

INT_PTR CALLBACK generalPageProcedure(HWND page, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        fillGeneralPage(page);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK enlargedPageProcedure(HWND page, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        fillEnlargedPage(page);
        return TRUE;
    }
    return FALSE;
}

HWND tabsOf(HWND dialog) {
    return GetDlgItem(dialog, IDC_SETTINGS_TABS);
}

void insertTab(HWND tabs, int index, const wchar_t* text) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(text);
    SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&item));
}

// The pages fill the tab control's display area.
INT_PTR onSize(HWND dialog) {
    HWND tabs = tabsOf(dialog);
    RECT area{};
    GetClientRect(tabs, &area);
    TabCtrl_AdjustRect(tabs, FALSE, &area);
    MapWindowPoints(tabs, dialog, reinterpret_cast<POINT*>(&area), 2);
    for (HWND page : {pages().general, pages().enlarged}) {
        MoveWindow(page, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
    }
    return TRUE;
}

INT_PTR onInitDialog(HWND dialog) {
    HWND tabs = tabsOf(dialog);
    insertTab(tabs, 0, L"全般");
    insertTab(tabs, 1, L"拡大表示");
    const HINSTANCE instance = shellState().instance;
    SettingsPages& open = pages();
    open.general = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_SETTINGS_GENERAL), dialog,
                                      generalPageProcedure, 0);
    ShowWindow(open.general, SW_SHOW);
    open.enlarged = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_SETTINGS_ENLARGED), dialog,
                                       enlargedPageProcedure, 0);
    ShowWindow(open.enlarged, SW_HIDE);
    RECT client{};
    GetClientRect(dialog, &client);
    SendMessageW(dialog, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    centreOnMainWindowScreen(dialog);
    return TRUE;
}

INT_PTR onNotify(HWND dialog, const NMHDR& header) {
    if (header.idFrom != IDC_SETTINGS_TABS || header.code != TCN_SELCHANGE) {
        return FALSE;
    }
    HWND tabs = tabsOf(dialog);
    InvalidateRect(tabs, nullptr, TRUE);
    const bool general = TabCtrl_GetCurSel(tabs) == 0;
    ShowWindow(pages().general, general ? SW_SHOW : SW_HIDE);
    ShowWindow(pages().enlarged, general ? SW_HIDE : SW_SHOW);
    return TRUE;
}

void endSettings(HWND dialog, INT_PTR result) {
    pages().general = nullptr;
    pages().enlarged = nullptr;
    EndDialog(dialog, result);
}

INT_PTR onOk(HWND dialog) {
    if (storeSettingsChoices(choicesOfPages(pages()))) {
        resumeSearch();
    }
    pages().stored = true;
    endSettings(dialog, kClosedByOk);
    return TRUE;
}

INT_PTR onCommand(HWND dialog, WORD command) {
    if (command == IDOK) {
        return onOk(dialog);
    }
    // キャンセル, Esc and any other command leave the options as they were.
    endSettings(dialog, kClosedByOk);
    return TRUE;
}

INT_PTR CALLBACK settingsProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return onInitDialog(dialog);
        case WM_SIZE:
            return onSize(dialog);
        case WM_NOTIFY:
            return onNotify(dialog, *reinterpret_cast<const NMHDR*>(lParam));
        case WM_COMMAND:
            return onCommand(dialog, LOWORD(wParam));
        case WM_CLOSE:
            endSettings(dialog, kClosedBySystem);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

bool showSettingsDialog(HWND owner) {
    pages() = SettingsPages{};
    DialogBoxParamW(shellState().instance, MAKEINTRESOURCEW(IDD_SETTINGS), owner, settingsProcedure,
                    0);
    return pages().stored;
}
