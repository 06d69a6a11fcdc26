#include "mosaic/wall/compositing.h"

#include <algorithm>
#include <array>
#include <utility>

#include "mosaic/wall/app_state.h"
#include "mosaic/wall/cell_copies.h"
#include "mosaic/wall/marks.h"
#include "mosaic/wall/tile_grid.h"
#include "settings/option_store.h"

void rescaleGrid(std::int32_t clientWidth, std::int32_t clientHeight) {
    AppState& state = appState();
    const std::int32_t width = std::max(clientWidth, 0);
    const std::int32_t height = std::max(clientHeight, 0);
    state.backBuffer = frameSurface(width, height);
    state.backBufferWidth = width;
    state.backBufferHeight = height;
    resizeCells(width, height);
    remakeCellCopies();
}

void remakeCellCopies() {
    supersedeCellCopies();
    requestCellCopies();
}

namespace {

// The back buffer black wherever drawTiles will not draw: every tile with a copy covers its
// whole cell, so only empty cells and the strips beside the grid need the fill.
void fillUncoveredBlack() {
    AppState& state = appState();
    std::array<bool, kGridCells> covered{};
    if (const CanvasList* grid = gridTiles()) {
        for (const Tile& tile : *grid) {
            const Cell cell{tile.rect.left / state.tileWidth, tile.rect.top / state.tileHeight};
            if (!tile.withdrawn && tile.surface && !tile.surface->empty() && cell.column >= 0 &&
                cell.column < kGridColumns && cell.row >= 0 && cell.row < kGridRows &&
                tile.rect == cellRect(cell)) {
                covered[static_cast<std::size_t>(cell.row * kGridColumns + cell.column)] = true;
            }
        }
    }
    for (std::int32_t index = 0; index < kGridCells; ++index) {
        if (!covered[static_cast<std::size_t>(index)]) {
            fillSurface(state.backBuffer,
                        cellRect(Cell{index % kGridColumns, index / kGridColumns}), kBlack);
        }
    }
    const std::int32_t gridWidth = kGridColumns * state.tileWidth;
    const std::int32_t gridHeight = kGridRows * state.tileHeight;
    fillSurface(state.backBuffer, Rect{gridWidth, 0, state.backBufferWidth, gridHeight}, kBlack);
    fillSurface(state.backBuffer,
                Rect{0, gridHeight, state.backBufferWidth, state.backBufferHeight}, kBlack);
}

}  // namespace

void composeFrame(bool locked) {
    AppState& state = appState();
    const bool placing = locked && state.tilesPending.load() == 1;
    installCellCopies();
    if (locked) {
        dropWithdrawnTiles();
    }
    if (placing) {
        placeQueuedTiles();
        // A copy the worker made before the latest rescale is not at its cell's size.
        requestCellCopies();
    }
    fillUncoveredBlack();
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
    AppState& state = appState();
    const Rect grid{0, 0, kGridColumns * state.tileWidth, kGridRows * state.tileHeight};
    const Rect whole{0, 0, state.backBufferWidth, state.backBufferHeight};
    if (grid == whole && client.bounds() == state.backBuffer.bounds() &&
        !state.backBuffer.empty()) {
        // The frame is the client's picture as it is: handed over rather than copied. Every
        // composeFrame redraws the whole back buffer, so what it gets back does not matter.
        std::swap(client.pixels, state.backBuffer.pixels);
        return;
    }
    stretchSurface(state.backBuffer, grid, client, whole);
}

void drawTiles() {
    const CanvasList* grid = gridTiles();
    if (grid == nullptr) {
        return;
    }
    AppState& state = appState();
    for (const Tile& tile : *grid) {
        if (!tile.surface || tile.withdrawn) {
            continue;
        }
        const Surface& copy = *tile.surface;
        if (copy.width == tile.rect.width() && copy.height == tile.rect.height()) {
            copySurface(copy, copy.bounds(), state.backBuffer, tile.rect.left, tile.rect.top);
        } else {
            // Until the exact copy for this cell size arrives.
            stretchSurface(copy, copy.bounds(), state.backBuffer, tile.rect);
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
    if (optionIsOn(OptionKey::PinnedMarks)) {
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
