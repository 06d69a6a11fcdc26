#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "mosaic/app_state.h"
#include "mosaic/canvas.h"
#include "mosaic/surface.h"

struct Cell {
    std::int32_t column = 0;
    std::int32_t row = 0;
    bool operator==(const Cell&) const = default;
};

// The first canvas of the list whose name equals name byte for byte, or none.
Canvas* findCanvas(CanvasList& list, std::string_view name);
const Canvas* findCanvas(const CanvasList& list, std::string_view name);

// Appends the group canvases "main" and "sub" to the root list (start-up).
void createGroupCanvases();

// The tiles of "main" and of "sub"; none when the group canvas does not exist.
CanvasList* gridTiles();
CanvasList* queuedTiles();

// The rectangle of a cell with the current tileWidth and tileHeight.
Rect cellRect(Cell cell);

// Both edges inclusive, so a point on a shared edge lies in both neighbours.
bool tileContains(const Tile& tile, std::int32_t x, std::int32_t y);

// The first grid tile containing the client point, or none.
Tile* tileAt(std::int32_t x, std::int32_t y);

// The tile's image canvas "kakudai", or none.
Canvas* imageCanvasOf(Tile& tile);
const Canvas* imageCanvasOf(const Tile& tile);

// Gives the tile its image canvas "kakudai" holding picture at its natural size. Refuses an
// empty picture (returns false, tile unchanged).
bool makeImageCanvas(Tile& tile, Surface picture);

// Appends a tile to the queue (search worker, under appMutex). Refuses names longer than
// kMaxCanvasNameBytes, empty pictures and a missing queue; returns whether it was queued.
// originalUrl is the full-size address its source named, if any.
bool enqueueTile(std::string_view url, std::int32_t byteSize, Surface picture,
                 std::vector<std::uint8_t> imageBytes, std::string_view originalUrl = {});

// True when url is empty or occurs within the name of a grid tile or a queued tile.
bool isKnownUrl(std::string_view url);

// True when a grid tile, or else a queued tile, has this byte size and an image canvas of
// this width and height.
bool isDuplicateImage(std::int32_t byteSize, std::int32_t width, std::int32_t height);

// The next cell after the cursor, in row-major order and wrapping, that no pinned tile holds;
// none when every cell is pinned. Does not move the cursor.
std::optional<Cell> findReplaceableCell();

// Moves the queued tiles into the grid, each replacing the ordinary tile of its cell.
void placeQueuedTiles();

// Releases the tile's surfaces, its image bytes and its image canvas.
void destroyTile(Tile& tile);

void releaseQueue();
void releaseGrid();

// Recreates the back buffer at the client size and moves every grid tile to the same column
// and row of cells of clientWidth / 10 × clientHeight / 5 (each at least 1).
void rescaleGrid(std::int32_t clientWidth, std::int32_t clientHeight);

// replaceableCount − 1, not below 1; replaceableCount + 1, not above 50.
void pinTileCount();
void unpinTileCount();
