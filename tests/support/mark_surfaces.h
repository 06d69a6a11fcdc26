#pragma once

#include "mosaic/wall/app_state.h"
#include "mosaic/wall/marks.h"

// Fills the three mark surfaces of appState() with the marks made in code, as the shell does
// when its bitmaps cannot be read.
inline void createMarkSurfaces() {
    AppState& state = appState();
    state.newImageMark = makeMarkSurface(kNewImageFrame, kNewImageKey);
    state.pinnedMark = makeMarkSurface(kPinnedFrame, kPinnedKey);
    state.selectionMark = makeMarkSurface(kSelectionFrame, kSelectionKey);
}
