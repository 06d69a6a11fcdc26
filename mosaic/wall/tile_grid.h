#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "mosaic/raster/surface.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/canvas.h"

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

// The first grid tile containing the client point that the user has not withdrawn, or none.
Tile* tileAt(std::int32_t x, std::int32_t y);

// The tile's image canvas "kakudai", or none.
Canvas* imageCanvasOf(Tile& tile);
const Canvas* imageCanvasOf(const Tile& tile);

// Gives the tile its image canvas "kakudai" recording picture's natural size, and its cell
// copy: picture made in the chosen tile look (tile_look.h) at the tile's rect's size, or, for a
// tile without a cell yet (queued), at the cell size last published by rescaleGrid. The tile keeps
// nothing else of picture. Refuses an empty picture (returns false, tile unchanged). Safe on the
// search worker for a tile that is not in the grid.
bool makeImageCanvas(Tile& tile, const Surface& picture);

// makeImageCanvas for a cell copy already made (decodePictureScaled) from a picture of
// naturalWidth × naturalHeight.
bool makeImageCanvasFromCellCopy(Tile& tile, std::int32_t naturalWidth, std::int32_t naturalHeight,
                                 Surface cellCopy);

// Whether cells of width × height belong to a client small enough to have a frame; larger
// cells get no cell copies of their size.
bool cellCopySizeAcceptable(std::int32_t width, std::int32_t height);

// The cell size rescaleGrid last set, readable from any thread.
Rect publishedCellBounds();

// A number no other tile of this run has; safe on any thread.
std::uint64_t nextTileSerial();

// The tile's picture at its natural size, or none: decoded from its bytes on every call (the
// tile holds only its cell copy), so it stays as it is when the tile is replaced or destroyed.
// None as well when there is no memory for its pixels.
std::optional<Surface> naturalPicture(const Tile& tile);

// Appends a tile to the queue (search worker, under appMutex). Refuses names longer than
// kMaxCanvasNameBytes, empty pictures and a missing queue; returns whether it was queued.
// originalUrl is the full-size address its source named, if any; origin what it said of the post.
bool enqueueTile(std::string_view url, std::int32_t byteSize, const Surface& picture,
                 std::vector<std::uint8_t> imageBytes, std::string_view originalUrl = {},
                 TileOrigin origin = {});

// True when url is empty or occurs within the name of a grid tile or a queued tile.
bool isKnownUrl(std::string_view url);

// True when a grid tile, or else a queued tile, has this byte size and an image canvas of
// this width and height.
bool isDuplicateImage(std::int32_t byteSize, std::int32_t width, std::int32_t height);

// True when a grid tile or a queued tile that is still on its way has a picture whose hash lies
// within kSamePictureDistance of hash.
bool isSimilarImage(std::uint64_t hash);

// The next cell after the cursor, in row-major order and wrapping, that no pinned tile holds;
// none when every cell is pinned. Does not move the cursor.
std::optional<Cell> findReplaceableCell();

// Moves the queued tiles into the grid, each replacing the ordinary tile of its cell. Their
// copies may be of an older cell size: the caller asks for cell copies (composeFrame).
void placeQueuedTiles();

// Under appMutex: erases the grid tiles the user withdrew (withdrawn_tiles.h), so their cells
// stay empty until a placement fills them.
void dropWithdrawnTiles();

// Releases the tile's surfaces, its image bytes and its image canvas.
void destroyTile(Tile& tile);

void releaseQueue();
void releaseGrid();

// Moves every grid tile to the same column and row of cells of clientWidth / 10 ×
// clientHeight / 5 (each at least 1) and publishes that cell size; the tiles keep their cell
// copies (rescaleGrid in compositing.h asks for new ones).
void resizeCells(std::int32_t clientWidth, std::int32_t clientHeight);

// replaceableCount − 1, not below 1; replaceableCount + 1, not above 50.
void pinTileCount();
void unpinTileCount();
