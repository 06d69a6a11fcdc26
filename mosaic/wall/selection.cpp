#include "mosaic/wall/selection.h"

#include "mosaic/wall/app_state.h"
#include "mosaic/wall/canvas.h"
#include "mosaic/wall/compositing.h"
#include "mosaic/wall/shell_hooks.h"
#include "mosaic/wall/tile_grid.h"

int selectTileAt(std::int32_t x, std::int32_t y) {
    const Tile* tile = tileAt(x, y);
    if (tile == nullptr) {
        return 0;
    }
    releaseSelection();
    Canvas copy;
    copy.name = tile->name;
    copy.originalUrl = tile->originalUrl;
    copy.origin = tile->origin;
    copy.shown = 1;
    // Name and shown are all its commands and the selection mark need; the enlarged view
    // takes the picture from the tile itself.
    if (const Canvas* image = imageCanvasOf(*tile)) {
        copy.rect = image->rect;
    }
    appState().selection.push_back(std::move(copy));
    requestRepaint();
    return tile->replaceable != 1 ? 1 : 0;
}

void endSelection() {
    drawTiles();
    requestRepaint();
    if (!appState().selection.empty()) {
        appState().selection.front().shown = 0;
    }
}

const Canvas* selectedTile() {
    const CanvasList& selection = appState().selection;
    return selection.empty() ? nullptr : &selection.front();
}

void releaseSelection() {
    appState().selection.clear();
}

std::optional<std::string> selectedTileAddress(bool original) {
    const Canvas* copy = selectedTile();
    if (copy == nullptr) {
        return std::nullopt;
    }
    std::string address = original ? originalAddressOf(*copy) : copy->name;
    if (address.size() > kMaxCanvasNameBytes) {
        return std::nullopt;
    }
    return address;
}
