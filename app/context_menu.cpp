#include "app/context_menu.h"

#include "app/shell_state.h"
#include "app/tile_moderation.h"
#include "app/window_geometry.h"
#include "mosaic/wall/selection.h"
#include "mosaic/wall/tile_grid.h"
#include "resources/resource.h"
#include "settings/option_store.h"

namespace {

void setChecked(HMENU menu, UINT command, bool checked) {
    CheckMenuItem(menu, command, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

// Size items follow the outer size now, so two can be checked when the screen has a preset's
// size; the frame and stacking items follow their options.
void updateGeometryChecks(HMENU menu, HWND window) {
    RECT outer{};
    GetWindowRect(window, &outer);
    const LONG width = outer.right - outer.left;
    const LONG height = outer.bottom - outer.top;
    for (const SizePreset& preset : kSizePresets) {
        setChecked(menu, preset.command, width == preset.width && height == preset.height);
    }
    const RECT screen = screenRectOf(window);
    setChecked(menu, IDM_SIZE_FIT_SCREEN,
               width == screen.right - screen.left && height == screen.bottom - screen.top);
    setChecked(menu, IDM_FRAME_FIXED, optionIsOn(OptionKey::FrameFixed));
    const std::int32_t stacking = optionValue(OptionKey::StackingOrder);
    setChecked(menu, IDM_STACK_BOTTOM, stacking == kStackBottom);
    setChecked(menu, IDM_STACK_NORMAL, stacking == kStackNormal);
    setChecked(menu, IDM_STACK_TOPMOST, stacking == kStackTopmost);
}

}  // namespace

void updatePinnedMarksCheck() {
    HMENU menu = shellState().contextMenu;
    if (menu != nullptr) {
        setChecked(menu, IDM_SHOW_PINNED, optionIsOn(OptionKey::PinnedMarks));
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
    updateModerationItems(menu, tileAt(x, y) != nullptr);
    updatePinnedMarksCheck();
    updateGeometryChecks(menu, window);
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, screen.x, screen.y, 0,
                   window, nullptr);
    endSelection();
}
