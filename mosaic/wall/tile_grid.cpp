#include "mosaic/wall/tile_grid.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <new>
#include <span>
#include <utility>

#include "mosaic/raster/image_limits.h"
#include "mosaic/raster/picture_decoder.h"
#include "mosaic/raster/picture_hash.h"
#include "mosaic/wall/tile_look.h"

namespace {

CanvasList* groupTiles(std::string_view groupName) {
    Canvas* group = findCanvas(appState().rootCanvases, groupName);
    return group != nullptr ? &group->children : nullptr;
}

Cell nextCell(Cell cell) {
    ++cell.column;
    if (cell.column >= kGridColumns) {
        cell.column = 0;
        cell.row = cell.row + 1 < kGridRows ? cell.row + 1 : 0;
    }
    return cell;
}

struct ProbePoint {
    std::int32_t x;
    std::int32_t y;
};

ProbePoint probeOf(Cell cell) {
    const AppState& state = appState();
    return {cell.column * state.tileWidth + 1, cell.row * state.tileHeight + 1};
}

// A cell that no tile covers is free; otherwise the last tile covering its probe point decides.
bool cellIsReplaceable(const CanvasList& grid, Cell cell) {
    const ProbePoint probe = probeOf(cell);
    bool replaceable = true;
    for (const Tile& tile : grid) {
        if (tileContains(tile, probe.x, probe.y)) {
            replaceable = tile.replaceable == 1;
        }
    }
    return replaceable;
}

bool hasImageOfSize(const Tile& tile, std::int32_t width, std::int32_t height) {
    const Canvas* image = imageCanvasOf(tile);
    return image != nullptr && image->rect.width() == width && image->rect.height() == height;
}

bool anyNameContains(const CanvasList* tiles, std::string_view url) {
    if (tiles == nullptr) {
        return false;
    }
    return std::any_of(tiles->begin(), tiles->end(), [url](const Tile& tile) {
        return tile.name.find(url) != std::string::npos;
    });
}

bool anyDuplicate(const CanvasList* tiles, std::int32_t byteSize, std::int32_t width,
                  std::int32_t height) {
    if (tiles == nullptr) {
        return false;
    }
    return std::any_of(tiles->begin(), tiles->end(), [&](const Tile& tile) {
        return tile.byteSize == byteSize && hasImageOfSize(tile, width, height);
    });
}

}  // namespace

Canvas* findCanvas(CanvasList& list, std::string_view name) {
    for (Canvas& canvas : list) {
        if (canvas.name == name) {
            return &canvas;
        }
    }
    return nullptr;
}

const Canvas* findCanvas(const CanvasList& list, std::string_view name) {
    return findCanvas(const_cast<CanvasList&>(list), name);
}

void createGroupCanvases() {
    for (std::string_view name : {kGridCanvasName, kQueueCanvasName}) {
        Canvas group;
        group.name = name;
        appState().rootCanvases.push_back(std::move(group));
    }
}

CanvasList* gridTiles() {
    return groupTiles(kGridCanvasName);
}

CanvasList* queuedTiles() {
    return groupTiles(kQueueCanvasName);
}

Rect cellRect(Cell cell) {
    const AppState& state = appState();
    return rectOfSize(cell.column * state.tileWidth, cell.row * state.tileHeight, state.tileWidth,
                      state.tileHeight);
}

bool tileContains(const Tile& tile, std::int32_t x, std::int32_t y) {
    return tile.rect.left <= x && x <= tile.rect.right && tile.rect.top <= y &&
           y <= tile.rect.bottom;
}

Tile* tileAt(std::int32_t x, std::int32_t y) {
    CanvasList* grid = gridTiles();
    if (grid == nullptr) {
        return nullptr;
    }
    for (Tile& tile : *grid) {
        if (!tile.withdrawn && tileContains(tile, x, y)) {
            return &tile;
        }
    }
    return nullptr;
}

Canvas* imageCanvasOf(Tile& tile) {
    return findCanvas(tile.children, kImageCanvasName);
}

const Canvas* imageCanvasOf(const Tile& tile) {
    return findCanvas(tile.children, kImageCanvasName);
}

bool cellCopySizeAcceptable(std::int32_t width, std::int32_t height) {
    return pictureSizeAcceptable(std::int64_t{width} * kGridColumns,
                                 std::int64_t{height} * kGridRows);
}

Rect publishedCellBounds() {
    const std::uint64_t packed = appState().publishedCellSize.load();
    return Rect{0, 0, static_cast<std::int32_t>(packed >> 32),
                static_cast<std::int32_t>(packed & 0xFFFFFFFFu)};
}

std::uint64_t nextTileSerial() {
    static std::atomic<std::uint64_t> last{0};
    return ++last;
}

bool makeImageCanvasFromCellCopy(Tile& tile, std::int32_t naturalWidth, std::int32_t naturalHeight,
                                 Surface cellCopy) {
    if (cellCopy.empty() || naturalWidth < 1 || naturalHeight < 1) {
        return false;
    }
    Canvas image;
    image.name = kImageCanvasName;
    image.rect = Rect{0, 0, naturalWidth, naturalHeight};
    tile.children.push_back(std::move(image));
    tile.surface = std::move(cellCopy);
    tile.serial = nextTileSerial();
    return true;
}

bool makeImageCanvas(Tile& tile, const Surface& picture) {
    if (picture.empty()) {
        return false;
    }
    const Rect cell = tile.rect.width() > 0 && tile.rect.height() > 0
                          ? Rect{0, 0, tile.rect.width(), tile.rect.height()}
                          : publishedCellBounds();
    // Cells of a client past any screen get a placeholder: such a client has no frame to
    // draw into (frameSurface), and a copy that size could not be held 50 times.
    const bool drawable = cellCopySizeAcceptable(cell.width(), cell.height());
    const std::int32_t look = chosenTileLook();
    Surface copy = makeCellCopy(picture, drawable ? cell.width() : 1, drawable ? cell.height() : 1,
                                cellLookOf(look, tile.origin));
    if (!makeImageCanvasFromCellCopy(tile, picture.width, picture.height, std::move(copy))) {
        return false;
    }
    tile.copyLook = look;
    return true;
}

std::optional<Surface> naturalPicture(const Tile& tile) {
    // A picture within the size bounds may still find no memory for its pixels; the view
    // that asked for it then shows nothing rather than end the program.
    try {
        return decodePicture(
            std::span<const std::uint8_t>(tile.imageBytes.data(), tile.imageBytes.size()));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

bool enqueueTile(std::string_view url, std::int32_t byteSize, const Surface& picture,
                 std::vector<std::uint8_t> imageBytes, std::string_view originalUrl,
                 TileOrigin origin) {
    CanvasList* queue = queuedTiles();
    if (queue == nullptr || !isAcceptableCanvasName(url)) {
        return false;
    }
    Tile tile;
    tile.name = url;
    tile.originalUrl = originalUrl;
    tile.origin = std::move(origin);
    tile.byteSize = byteSize;
    tile.imageBytes = std::move(imageBytes);
    tile.pictureHash = pictureHash(picture);
    if (!makeImageCanvas(tile, picture)) {
        return false;
    }
    queue->push_back(std::move(tile));
    return true;
}

bool isKnownUrl(std::string_view url) {
    return url.empty() || anyNameContains(gridTiles(), url) || anyNameContains(queuedTiles(), url);
}

bool isDuplicateImage(std::int32_t byteSize, std::int32_t width, std::int32_t height) {
    return anyDuplicate(gridTiles(), byteSize, width, height) ||
           anyDuplicate(queuedTiles(), byteSize, width, height);
}

bool isSimilarImage(std::uint64_t hash) {
    const auto similar = [hash](const Tile& tile) {
        return !tile.withdrawn && tile.pictureHash && looksLikeSamePicture(*tile.pictureHash, hash);
    };
    const CanvasList* grid = gridTiles();
    const CanvasList* queue = queuedTiles();
    return (grid != nullptr && std::any_of(grid->begin(), grid->end(), similar)) ||
           (queue != nullptr && std::any_of(queue->begin(), queue->end(), similar));
}

std::optional<Cell> findReplaceableCell() {
    const CanvasList* grid = gridTiles();
    const AppState& state = appState();
    const Cell first = nextCell(Cell{state.cursorColumn, state.cursorRow});
    Cell cell = first;
    do {
        if (grid == nullptr || grid->empty() || cellIsReplaceable(*grid, cell)) {
            return cell;
        }
        cell = nextCell(cell);
    } while (cell != first);
    return std::nullopt;
}

void placeQueuedTiles() {
    CanvasList* grid = gridTiles();
    CanvasList* queue = queuedTiles();
    if (grid == nullptr || queue == nullptr || queue->empty()) {
        return;
    }
    for (Tile& tile : *grid) {
        tile.newMark = 0;
    }
    AppState& state = appState();
    for (auto next = queue->begin(); next != queue->end();) {
        const auto queued = next++;
        const std::optional<Cell> cell = findReplaceableCell();
        if (!cell || queued->withdrawn) {
            continue;
        }
        state.cursorColumn = cell->column;
        state.cursorRow = cell->row;
        queued->rect = cellRect(*cell);
        // Only an ordinary tile gives way: a pinned tile sharing the cell (two list lines
        // naming it, one of them unpinned since) must never be dropped.
        const ProbePoint probe = probeOf(*cell);
        const auto replaced = std::find_if(grid->begin(), grid->end(), [&](const Tile& tile) {
            return tile.replaceable == 1 && tileContains(tile, probe.x, probe.y);
        });
        if (replaced != grid->end()) {
            destroyTile(*replaced);
            grid->erase(replaced);
        }
        queued->replaceable = 1;
        queued->newMark = kNewMarkSet;
        grid->splice(grid->end(), *queue, queued);
    }
}

void dropWithdrawnTiles() {
    CanvasList* grid = gridTiles();
    if (grid == nullptr) {
        return;
    }
    for (auto next = grid->begin(); next != grid->end();) {
        const auto tile = next++;
        if (tile->withdrawn) {
            destroyTile(*tile);
            grid->erase(tile);
        }
    }
}

void destroyTile(Tile& tile) {
    tile.surface.reset();
    tile.imageBytes = SharedBytes{};
    tile.children.clear();
}

void releaseQueue() {
    if (CanvasList* queue = queuedTiles()) {
        queue->clear();
    }
}

void releaseGrid() {
    if (CanvasList* grid = gridTiles()) {
        grid->clear();
    }
}

void resizeCells(std::int32_t clientWidth, std::int32_t clientHeight) {
    AppState& state = appState();
    const std::int32_t newTileWidth = std::max(clientWidth / kGridColumns, 1);
    const std::int32_t newTileHeight = std::max(clientHeight / kGridRows, 1);
    if (CanvasList* grid = gridTiles()) {
        for (Tile& tile : *grid) {
            const std::int32_t column = tile.rect.left / state.tileWidth;
            const std::int32_t row = tile.rect.top / state.tileHeight;
            tile.rect =
                rectOfSize(column * newTileWidth, row * newTileHeight, newTileWidth, newTileHeight);
        }
    }
    state.tileWidth = newTileWidth;
    state.tileHeight = newTileHeight;
    state.publishedCellSize = (static_cast<std::uint64_t>(newTileWidth) << 32) |
                              static_cast<std::uint32_t>(newTileHeight);
}

void pinTileCount() {
    AppState& state = appState();
    state.replaceableCount = std::max(state.replaceableCount.load() - 1, 1);
}

void unpinTileCount() {
    AppState& state = appState();
    state.replaceableCount = std::min(state.replaceableCount.load() + 1, kGridCells);
}
