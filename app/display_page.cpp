#include "app/display_page.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/dialog_controls.h"
#include "app/logic/display_choices.h"
#include "app/logon_shortcut.h"
#include "http/code_page.h"
#include "mosaic/search/hidden_list.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/compositing.h"
#include "mosaic/wall/pinned_tiles.h"
#include "resources/resource.h"

namespace {

// The dormant pins in list order, the first chosen; nothing to drop leaves the button off.
void fillDormantPins(HWND page) {
    HWND list = GetDlgItem(page, IDC_DORMANT_PINS);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    const std::vector<DormantPin>& dormant = appState().dormantPins;
    for (const DormantPin& pin : dormant) {
        const std::wstring name = ToWide(pin.name);
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    SendMessageW(list, CB_SETCURSEL, 0, 0);
    EnableWindow(GetDlgItem(page, IDC_DROP_DORMANT_PIN), dormant.empty() ? FALSE : TRUE);
}

// At once, as an unpin is: the list is rewritten without the chosen pin.
void dropChosenDormantPin(HWND page) {
    const LRESULT chosen = SendDlgItemMessageW(page, IDC_DORMANT_PINS, CB_GETCURSEL, 0, 0);
    const std::vector<DormantPin>& dormant = appState().dormantPins;
    if (chosen < 0 || static_cast<std::size_t>(chosen) >= dormant.size()) {
        return;
    }
    const std::string name = dormant[static_cast<std::size_t>(chosen)].name;
    dropDormantPin(name);
    fillDormantPins(page);
}

void fillDisplayPage(HWND page) {
    const DisplayChoices choices = loadDisplayChoices();
    setChecked(page, IDC_TILE_FIT, choices.fillCells);
    setChecked(page, IDC_TILE_FILTER, choices.smoothTiles);
    setChecked(page, IDC_SIMILAR_SKIP, choices.skipSimilar);
    setChecked(page, IDC_RESTORE_WALL, choices.restoreWall);
    setChecked(page, IDC_PAUSE_UNSEEN, choices.pauseUnseen);
    setChecked(page, IDC_START_AT_LOGON, startsAtLogOn());
    SetDlgItemTextW(page, IDC_SKIP_WORDS, ToWide(choices.skipWords).c_str());
    fillDormantPins(page);
}

// Hidden entries hold addresses and names as their sources gave them, in UTF-8.
std::wstring wideOfUtf8(const std::string& text) {
    const int length = static_cast<int>(std::min<std::size_t>(text.size(), kMaxUtf8Bytes));
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(units, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), units);
    return wide;
}

void fillHiddenList(HWND page) {
    HWND combo = GetDlgItem(page, IDC_HIDDEN_LIST);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& label : hiddenEntryLabels()) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wideOfUtf8(label).c_str()));
    }
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    EnableWindow(GetDlgItem(page, IDC_UNHIDE), SendMessageW(combo, CB_GETCOUNT, 0, 0) > 0);
}

// "戻す" takes the chosen entry back at once; the next search may show it again.
void unhideChosenEntry(HWND page) {
    const LRESULT chosen = SendDlgItemMessageW(page, IDC_HIDDEN_LIST, CB_GETCURSEL, 0, 0);
    if (chosen != CB_ERR) {
        unhideEntry(static_cast<std::size_t>(chosen));
        fillHiddenList(page);
    }
}

DisplayChoices choicesOfPage(HWND page) {
    DisplayChoices choices;
    choices.fillCells = isChecked(page, IDC_TILE_FIT);
    choices.smoothTiles = isChecked(page, IDC_TILE_FILTER);
    choices.skipSimilar = isChecked(page, IDC_SIMILAR_SKIP);
    choices.restoreWall = isChecked(page, IDC_RESTORE_WALL);
    choices.pauseUnseen = isChecked(page, IDC_PAUSE_UNSEEN);
    choices.skipWords = toThreadAnsi(controlText(GetDlgItem(page, IDC_SKIP_WORDS)));
    return choices;
}

}  // namespace

INT_PTR CALLBACK displayPageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        fillDisplayPage(page);
        fillHiddenList(page);
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_UNHIDE) {
        unhideChosenEntry(page);
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_DROP_DORMANT_PIN &&
        HIWORD(wParam) == BN_CLICKED) {
        dropChosenDormantPin(page);
        return TRUE;
    }
    return FALSE;
}

void storeDisplayPage(HWND page) {
    if (storeDisplayChoices(choicesOfPage(page)).tileLookChanged) {
        remakeCellCopies();
    }
    const bool start = isChecked(page, IDC_START_AT_LOGON);
    if (start != startsAtLogOn()) {
        setStartAtLogOn(start);
    }
}
