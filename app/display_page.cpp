#include "app/display_page.h"

#include "app/dialog_controls.h"
#include "app/logic/display_choices.h"
#include "app/logon_shortcut.h"
#include "http/code_page.h"
#include "mosaic/wall/compositing.h"
#include "resources/resource.h"

namespace {

void fillDisplayPage(HWND page) {
    const DisplayChoices choices = loadDisplayChoices();
    setChecked(page, IDC_TILE_FIT, choices.fillCells);
    setChecked(page, IDC_TILE_FILTER, choices.smoothTiles);
    setChecked(page, IDC_SIMILAR_SKIP, choices.skipSimilar);
    setChecked(page, IDC_RESTORE_WALL, choices.restoreWall);
    setChecked(page, IDC_PAUSE_UNSEEN, choices.pauseUnseen);
    setChecked(page, IDC_START_AT_LOGON, startsAtLogOn());
    SetDlgItemTextW(page, IDC_SKIP_WORDS, ToWide(choices.skipWords).c_str());
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

INT_PTR CALLBACK displayPageProcedure(HWND page, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        fillDisplayPage(page);
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
