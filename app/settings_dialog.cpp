#include "app/settings_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/dialog_controls.h"
#include "app/display_page.h"
#include "app/logic/dialog_choices.h"
#include "app/shell_state.h"
#include "app/source_page.h"
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

// A page of the tab control: its title, its dialog and its procedure.
struct PageKind {
    const wchar_t* title;
    int dialog;
    DLGPROC procedure;
};

INT_PTR CALLBACK generalPageProcedure(HWND page, UINT message, WPARAM, LPARAM);
INT_PTR CALLBACK enlargedPageProcedure(HWND page, UINT message, WPARAM, LPARAM);

constexpr std::array<PageKind, 4> kPageKinds{{
    {L"全般", IDD_SETTINGS_GENERAL, generalPageProcedure},
    {L"拡大表示", IDD_SETTINGS_ENLARGED, enlargedPageProcedure},
    {L"取得元", IDD_SETTINGS_SOURCE, sourcePageProcedure},
    {L"表示", IDD_SETTINGS_DISPLAY, displayPageProcedure},
}};
constexpr std::size_t kGeneralPage = 0;
constexpr std::size_t kEnlargedPage = 1;
constexpr std::size_t kSourcePage = 2;
constexpr std::size_t kDisplayPage = 3;

// The pages while the dialog is open; OK reads their controls.
struct SettingsPages {
    std::array<HWND, kPageKinds.size()> page{};
    bool stored = false;  // OK put the changes into the option store
};

SettingsPages& pages() {
    static SettingsPages open;
    return open;
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
    HWND general = open.page[kGeneralPage];
    HWND enlarged = open.page[kEnlargedPage];
    SettingsChoices choices;
    choices.warnFewResults = isChecked(general, IDC_WARN_FEW_RESULTS);
    choices.searchInterval = readChoice(general, kIntervalButtons, kIntervalChoices);
    choices.resultCount = readChoice(general, kCountButtons, kCountChoices);
    choices.originalImages = isChecked(enlarged, IDC_ORIGINAL_IMAGES);
    choices.updateWhileEnlarged = isChecked(enlarged, IDC_UPDATE_WHILE_ENLARGED);
    choices.allowSeveral = isChecked(enlarged, IDC_ALLOW_SEVERAL);
    choices.attachMessage = isChecked(enlarged, IDC_ATTACH_MESSAGE);
    choices.keyword = toThreadAnsi(controlText(GetDlgItem(general, IDC_KEYWORD_EDIT)));
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
    for (HWND page : pages().page) {
        MoveWindow(page, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
    }
    return TRUE;
}

INT_PTR onInitDialog(HWND dialog) {
    HWND tabs = tabsOf(dialog);
    const HINSTANCE instance = shellState().instance;
    SettingsPages& open = pages();
    for (std::size_t i = 0; i < kPageKinds.size(); ++i) {
        const PageKind& kind = kPageKinds[i];
        insertTab(tabs, static_cast<int>(i), kind.title);
        open.page[i] =
            CreateDialogParamW(instance, MAKEINTRESOURCEW(kind.dialog), dialog, kind.procedure, 0);
        ShowWindow(open.page[i], i == 0 ? SW_SHOW : SW_HIDE);
    }
    RECT client{};
    GetClientRect(dialog, &client);
    SendMessageW(dialog, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    centreOnMainWindowScreen(dialog);
    return TRUE;
}

void showPage(HWND dialog, std::size_t shown) {
    HWND tabs = tabsOf(dialog);
    InvalidateRect(tabs, nullptr, TRUE);
    for (std::size_t i = 0; i < kPageKinds.size(); ++i) {
        ShowWindow(pages().page[i], i == shown ? SW_SHOW : SW_HIDE);
    }
}

INT_PTR onNotify(HWND dialog, const NMHDR& header) {
    if (header.idFrom != IDC_SETTINGS_TABS || header.code != TCN_SELCHANGE) {
        return FALSE;
    }
    showPage(dialog, static_cast<std::size_t>(TabCtrl_GetCurSel(tabsOf(dialog))));
    return TRUE;
}

void endSettings(HWND dialog, INT_PTR result) {
    pages().page = {};
    EndDialog(dialog, result);
}

INT_PTR onOk(HWND dialog) {
    // The one page whose choices can be refused goes first, so a refused OK stores nothing.
    if (!storeSourcePage(pages().page[kSourcePage])) {
        TabCtrl_SetCurSel(tabsOf(dialog), static_cast<int>(kSourcePage));
        showPage(dialog, kSourcePage);
        return TRUE;
    }
    if (storeSettingsChoices(choicesOfPages(pages()))) {
        resumeSearch();
    }
    storeDisplayPage(pages().page[kDisplayPage]);
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
    settleSourceChange();
    return pages().stored;
}
