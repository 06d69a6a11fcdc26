#include "mosaic/wall/withdrawn_tiles.h"

#include "mosaic/wall/pinned_tiles.h"
#include "mosaic/wall/tile_grid.h"

int withdrawGridTiles(const std::function<bool(const Tile&)>& test) {
    CanvasList* grid = gridTiles();
    if (grid == nullptr) {
        return 0;
    }
    int count = 0;
    for (Tile& tile : *grid) {
        if (tile.withdrawn || !test(tile)) {
            continue;
        }
        if (tile.replaceable == 0) {
            unpinTile(tile);
        }
        tile.withdrawn = true;
        tile.newMark = 0;
        ++count;
    }
    return count;
}

void withdrawQueuedTiles(const std::function<bool(const Tile&)>& test) {
    if (CanvasList* queue = queuedTiles()) {
        for (Tile& tile : *queue) {
            tile.withdrawn = tile.withdrawn || test(tile);
        }
    }
}
