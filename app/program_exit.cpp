#include "app/program_exit.h"

#include <mutex>

#include "app/shell_state.h"
#include "mosaic/search/search_state.h"
#include "mosaic/search/search_worker_loop.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/cell_copies.h"
#include "mosaic/wall/restore_set.h"
#include "mosaic/wall/selection.h"
#include "mosaic/wall/tile_grid.h"
#include "settings/option_store.h"
#include "settings/wall_options.h"

namespace {

void releaseDrawingSurfaces() {
    AppState& state = appState();
    state.newImageMark = Surface{};
    state.pinnedMark = Surface{};
    state.selectionMark = Surface{};
    state.backBuffer = Surface{};
    shellState().clientFrame = Surface{};
}

// The worker stops at its next wait, link or chunk instead of finishing the cycle.
void stopWorkerEarly() {
    requestExit();
    stopSearchWorker();
}

// The grid as it is now, for the next start, when the user asked for that.
void saveWallForNextStart() {
    if (wallOptionIsOn(WallOption::RestoreWall)) {
        writeRestoreSet(restoreFolder());
    }
}

}  // namespace

void exitProgram(HWND window) {
    stopWorkerEarly();
    std::lock_guard<std::mutex> lock(appState().appMutex);
    DestroyWindow(window);
}

void saveAtEndOfSession() {
    stopWorkerEarly();
    saveOptions();
    saveWallForNextStart();
}

void shutDownProgram() {
    stopWorkerEarly();
    stopCellCopies();
    releaseDrawingSurfaces();
    saveOptions();
    saveWallForNextStart();
    clearOptions();
    releaseSelection();
    releaseQueue();
    releaseGrid();
}
