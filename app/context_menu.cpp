#include "app/context_menu.h"

#include "app/shell_state.h"
#include "mosaic/selection.h"
#include "resources/resource.h"
#include "settings/option_store.h"

namespace {

void setChecked(HMENU menu, UINT command, bool checked) {
    CheckMenuItem(menu, command, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

}  // namespace

void updatePinnedMarksCheck() {
    HMENU menu = shellState().contextMenu;
    if (menu != nullptr) {
        setChecked(menu, IDM_SHOW_PINNED, optionOr("kotei_render", 0) == 1);
    }
}

void runContextMenu(HWND window, int x, int y) {
    HMENU menu = shellState().contextMenu;
    if (menu == nullptr) {
        return;
    }
    POINT screen{x, y};
    ClientToScreen(window, &screen);
    setChecked(menu, IDM_PIN_TILE, selectTileAt(x, y) == 1);
    updatePinnedMarksCheck();
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, screen.x, screen.y, 0,
                   window, nullptr);
    endSelection();
}
