#include "app/tile_moderation.h"

#include <cstdint>
#include <optional>
#include <string>

#include "app/first_start_authorisation.h"
#include "http/service_config.h"
#include "mosaic/raster/picture_hash.h"
#include "mosaic/search/hidden_list.h"
#include "mosaic/wall/selection.h"
#include "mosaic/wall/tile_grid.h"
#include "mosaic/wall/withdrawn_tiles.h"
#include "oauth/browser_address.h"
#include "resources/resource.h"

namespace {

void enableItem(HMENU menu, UINT command, bool enabled) {
    EnableMenuItem(menu, command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

std::string currentSourceName() {
    return std::string(serviceSourceName(serviceConfig().source));
}

// The grid tile the selection copy stands for, or none.
Tile* selectedGridTile() {
    const Canvas* copy = selectedTile();
    CanvasList* grid = gridTiles();
    return copy == nullptr || grid == nullptr ? nullptr : findCanvas(*grid, copy->name);
}

// A tile restored from a file without its picture's hash gets it from its bytes.
std::optional<std::uint64_t> hashOf(const Tile& tile) {
    if (tile.pictureHash) {
        return tile.pictureHash;
    }
    const std::optional<Surface> picture = naturalPicture(tile);
    return picture ? pictureHash(*picture) : std::nullopt;
}

}  // namespace

void updateModerationItems(HMENU menu, bool onTile) {
    const Canvas* copy = onTile ? selectedTile() : nullptr;
    enableItem(menu, IDM_HIDE_PICTURE, copy != nullptr);
    enableItem(menu, IDM_HIDE_AUTHOR, copy != nullptr && !copy->origin.author.empty());
    enableItem(menu, IDM_OPEN_POST,
               copy != nullptr && openablePageAddress(copy->origin.postPage).has_value());
}

void hideSelectedPicture(HWND window) {
    const Tile* tile = selectedGridTile();
    if (tile == nullptr) {
        return;
    }
    const std::string name = tile->name;
    const std::optional<std::uint64_t> hash = hashOf(*tile);
    withdrawGridTiles([&](const Tile& each) { return each.name == name; });
    hidePicture(name, hash);
    InvalidateRect(window, nullptr, FALSE);
}

void hideSelectedAuthor(HWND window) {
    const Tile* tile = selectedGridTile();
    if (tile == nullptr || tile->origin.author.empty()) {
        return;
    }
    const std::string author = tile->origin.author;
    hideAuthor(currentSourceName(), author);
    withdrawGridTiles([&](const Tile& each) { return each.origin.author == author; });
    InvalidateRect(window, nullptr, FALSE);
}

void openSelectedPost(HWND) {
    const Canvas* copy = selectedTile();
    if (copy == nullptr) {
        return;
    }
    if (const std::optional<std::string> address = openablePageAddress(copy->origin.postPage)) {
        openInBrowser(*address);
    }
}

void withdrawHiddenQueuedTiles() {
    const std::string source = currentSourceName();
    withdrawQueuedTiles([&](const Tile& tile) {
        return isHiddenAddress(tile.name) || isHiddenAuthor(source, tile.origin.author) ||
               (tile.pictureHash && isHiddenLook(*tile.pictureHash));
    });
}
