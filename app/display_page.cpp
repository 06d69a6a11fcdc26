#include "app/display_page.h"

#include <string>
#include <vector>

#include "app/dialog_controls.h"
#include "app/logic/display_choices.h"
#include "app/logon_shortcut.h"
#include "http/code_page.h"
#include "mosaic/wall/app_state.h"
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
    storeDisplayChoices(choicesOfPage(page));
    const bool start = isChecked(page, IDC_START_AT_LOGON);
    if (start != startsAtLogOn()) {
        setStartAtLogOn(start);
    }
}
