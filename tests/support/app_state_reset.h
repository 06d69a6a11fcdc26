#pragma once

#include <cstdint>

#include "mosaic/search/search_state.h"
#include "mosaic/search/search_worker_loop.h"
#include "mosaic/search/wall_visibility.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/cell_copies.h"

// Puts every field of the wall and the search switches back to its initial value and drops
// all canvases, after stopping the worker and the copy threads, so that no cycle or copy made
// for the old grid reaches the new one. Does not touch the mutex or the shell hooks.
inline void resetAppState() {
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
    state.tilesPending = 0;
    searchSwitches().enabled = true;
    searchSwitches().exitRequested = false;
    noteSessionLocked(false);
    noteDisplayOff(false);
}
