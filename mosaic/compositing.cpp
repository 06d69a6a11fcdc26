#include "mosaic/compositing.h"

#include <new>
#include <stdexcept>

#include "mosaic/app_state.h"
#include "mosaic/image_limits.h"
#include "mosaic/marks.h"
#include "mosaic/tile_grid.h"
#include "settings/option_store.h"

Surface frameSurface(std::int32_t width, std::int32_t height) {
    if (!pictureSizeAcceptable(width, height)) {
        return Surface{};
    }
    try {
        return Surface::filled(width, height);
    } catch (const std::bad_alloc&) {
        return Surface{};
    } catch (const std::length_error&) {
        return Surface{};
    }
}

void composeFrame(bool locked) {
    AppState& state = appState();
    const bool placing = locked && state.tilesPending.load() == 1;
    if (placing) {
        placeQueuedTiles();
    }
    fillSurface(state.backBuffer, Rect{0, 0, state.backBufferWidth, state.backBufferHeight},
                kBlack);
    drawTiles();
    drawMarks();
    if (placing) {
        releaseQueue();
        state.tilesPending = 0;
    }
}

void presentFrame(Surface& client, std::int32_t clientWidth, std::int32_t clientHeight) {
    if (client.width != clientWidth || client.height != clientHeight || client.empty()) {
        client = frameSurface(clientWidth, clientHeight);
    }
    const AppState& state = appState();
    stretchSurface(state.backBuffer,
                   Rect{0, 0, kGridColumns * state.tileWidth, kGridRows * state.tileHeight}, client,
                   Rect{0, 0, state.backBufferWidth, state.backBufferHeight});
}

void drawTiles() {
    const CanvasList* grid = gridTiles();
    if (grid == nullptr) {
        return;
    }
    AppState& state = appState();
    for (const Tile& tile : *grid) {
        const Canvas* image = imageCanvasOf(tile);
        if (image != nullptr && image->surface) {
            stretchSurface(*image->surface, image->rect, state.backBuffer, tile.rect);
        }
    }
}

void drawMarks() {
    const CanvasList* grid = gridTiles();
    if (grid == nullptr) {
        return;
    }
    const AppState& state = appState();
    for (const Tile& tile : *grid) {
        if (tile.newMark == kNewMarkSet) {
            drawMark(state.newImageMark, tile.rect.left, tile.rect.top);
        }
    }
    if (optionOr("kotei_render", 0) == 1) {
        for (const Tile& tile : *grid) {
            if (tile.replaceable == 0) {
                drawMark(state.pinnedMark, tile.rect.left, tile.rect.top);
            }
        }
    }
    if (!state.selection.empty()) {
        const Canvas& copy = state.selection.front();
        const Canvas* selected = findCanvas(*grid, copy.name);
        if (selected != nullptr && copy.shown != 0) {
            drawMark(state.selectionMark, selected->rect.left, selected->rect.top);
        }
    }
}
