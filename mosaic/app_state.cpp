#include "mosaic/app_state.h"

#include <utility>

#include "mosaic/cell_copies.h"
#include "mosaic/search_worker_loop.h"

namespace {

ShellHooks& hooks() {
    static ShellHooks installed;
    return installed;
}

}  // namespace

AppState& appState() {
    static AppState state;
    return state;
}

void resetAppState() {
    // No cycle or copy made for the old grid may reach the new one.
    stopSearchWorker();
    stopCellCopies();
    AppState& state = appState();
    state.rootCanvases.clear();
    state.tileWidth = 150;
    state.tileHeight = 150;
    state.publishedCellSize = (std::uint64_t{150} << 32) | 150;
    state.cursorColumn = -1;
    state.cursorRow = 0;
    state.replaceableCount = kGridCells;
    state.backBuffer = Surface{};
    state.backBufferWidth = 1500;
    state.backBufferHeight = 750;
    state.newImageMark = Surface{};
    state.pinnedMark = Surface{};
    state.selectionMark = Surface{};
    state.selection.clear();
    state.dormantPins.clear();
    state.workingRoot = ".";
    state.searchEnabled = 1;
    state.tilesPending = 0;
    state.exitRequested = false;
}

void requestExit() {
    appState().exitRequested = true;
}

bool exitWasRequested() {
    return appState().exitRequested.load();
}

void setShellHooks(ShellHooks installed) {
    hooks() = std::move(installed);
}

void requestRepaint() {
    if (hooks().requestRepaint) {
        hooks().requestRepaint();
    }
}

void showPinnedSaveError() {
    if (hooks().showPinnedSaveError) {
        hooks().showPinnedSaveError();
    }
}

void showTimelineRefusal() {
    if (hooks().showTimelineRefusal) {
        hooks().showTimelineRefusal();
    }
}
