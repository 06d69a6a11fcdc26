#pragma once

#include <cstdint>

#include "mosaic/raster/frame_surface.h"
#include "mosaic/raster/surface.h"

// Sizes the back buffer to the client and every grid tile's cell to clientWidth / 10 ×
// clientHeight / 5 (resizeCells), then asks for exact cell copies of the new size; until they
// arrive the tiles' old copies are drawn stretched (cell_copies.h).
void rescaleGrid(std::int32_t clientWidth, std::int32_t clientHeight);

// After the tile look (tile_fit, tile_filter) changed: every tile's copy is made again in the
// new look through the same path, the old copies drawn until the new ones arrive.
void remakeCellCopies();

// One frame into the back buffer: finished cell copies are installed; when tiles are pending
// and locked (the caller holds appMutex) the placement pass, then black, tiles and marks, then,
// again only when pending and locked, the queue is released and tilesPending cleared.
void composeFrame(bool locked);

// Stretches the grid region (0, 0, 10·W, 5·H) of the back buffer onto
// (0, 0, backBufferWidth, backBufferHeight) of client, which is first made
// clientWidth × clientHeight (black when its size changes). When the grid region is the
// whole client the frame's pixels are swapped into client instead of copied, and the back
// buffer is left holding an earlier frame until the next composeFrame.
void presentFrame(Surface& client, std::int32_t clientWidth, std::int32_t clientHeight);

// Every grid tile's cell copy into its cell of the back buffer: copied when it has the cell's
// size, which shows exactly what stretching the natural picture into the cell shows; else
// stretched, until the exact copy arrives.
void drawTiles();

// New-image marks, then pinned marks (only when the option "kotei_render" is 1), then the
// selection mark.
void drawMarks();
