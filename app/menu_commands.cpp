#include "app/menu_commands.h"

#include <optional>
#include <string>

#include "app/clipboard.h"
#include "app/program_exit.h"
#include "app/settings_dialog.h"
#include "app/tile_moderation.h"
#include "app/window_geometry.h"
#include "mosaic/wall/pinned_tiles.h"
#include "mosaic/wall/selection.h"
#include "resources/resource.h"
#include "settings/option_store.h"

namespace {

// The tile commands act on the copy of the tile right-clicked last; without one they do
// nothing.
void copySelectedAddress(HWND window, bool original) {
    if (const std::optional<std::string> address = selectedTileAddress(original)) {
        copyTextToClipboard(window, *address);
    }
}

void onCopyUrl(HWND window) {
    copySelectedAddress(window, false);
}

void onCopyOriginalUrl(HWND window) {
    copySelectedAddress(window, true);
}

void onPinTile(HWND) {
    togglePin();
}

// The closing menu has already asked for the repaint that shows or hides the green frames.
void onShowPinned(HWND) {
    setOptionValue(OptionKey::PinnedMarks, optionIsOn(OptionKey::PinnedMarks) ? 0 : 1);
}

void onStackBottom(HWND window) {
    chooseStacking(window, kStackBottom);
}

void onStackNormal(HWND window) {
    chooseStacking(window, kStackNormal);
}

void onStackTopmost(HWND window) {
    chooseStacking(window, kStackTopmost);
}

// The dialog stores what OK confirms; its result changes nothing here.
void onSettings(HWND window) {
    showSettingsDialog(window);
}

struct MenuCommand {
    WORD command;
    void (*handler)(HWND window);
};

// The size presets are kSizePresets.
constexpr MenuCommand kMenuCommands[] = {
    {IDM_SETTINGS, onSettings},
    {IDM_EXIT, exitProgram},
    {IDM_SIZE_FIT_SCREEN, fitToScreen},
    {IDM_FRAME_FIXED, toggleWindowFrame},
    {IDM_PIN_TILE, onPinTile},
    {IDM_SHOW_PINNED, onShowPinned},
    {IDM_COPY_URL, onCopyUrl},
    {IDM_COPY_ORIGINAL_URL, onCopyOriginalUrl},
    {IDM_STACK_BOTTOM, onStackBottom},
    {IDM_STACK_TOPMOST, onStackTopmost},
    {IDM_STACK_NORMAL, onStackNormal},
    {IDM_HIDE_PICTURE, hideSelectedPicture},
    {IDM_HIDE_AUTHOR, hideSelectedAuthor},
    {IDM_OPEN_POST, openSelectedPost},
};

}  // namespace

bool handleMenuCommand(HWND window, WORD command) {
    for (const MenuCommand& entry : kMenuCommands) {
        if (entry.command == command) {
            entry.handler(window);
            return true;
        }
    }
    if (const SizePreset* preset = sizePresetFor(command)) {
        applySizePreset(window, preset->width, preset->height);
        return true;
    }
    return false;
}
