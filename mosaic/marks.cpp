#include "mosaic/marks.h"

#include "mosaic/app_state.h"

Surface makeMarkSurface(std::uint32_t frameColour, std::uint32_t keyColour) {
    Surface mark = Surface::filled(kMarkSize, kMarkSize, keyColour);
    const std::int32_t outer = kMarkKeyRing;
    const std::int32_t inner = kMarkKeyRing + kMarkFrameRing;
    fillSurface(mark, Rect{outer, outer, kMarkSize - outer, kMarkSize - outer}, frameColour);
    fillSurface(mark, Rect{inner, inner, kMarkSize - inner, kMarkSize - inner}, keyColour);
    return mark;
}

void createMarkSurfaces() {
    AppState& state = appState();
    state.newImageMark = makeMarkSurface(kNewImageFrame, kNewImageKey);
    state.pinnedMark = makeMarkSurface(kPinnedFrame, kPinnedKey);
    state.selectionMark = makeMarkSurface(kSelectionFrame, kSelectionKey);
}

void drawMark(const Surface& mark, std::int32_t left, std::int32_t top) {
    const std::optional<std::uint32_t> key = pixelAt(mark, 0, 0);
    if (!key) {
        return;
    }
    AppState& state = appState();
    stretchSurfaceTransparent(mark, mark.bounds(), state.backBuffer,
                              rectOfSize(left, top, state.tileWidth, state.tileHeight), *key);
}
