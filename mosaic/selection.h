#pragma once

#include <cstdint>

#include "mosaic/canvas.h"

// Right-click at a client point: when a grid tile lies there, the selection copy becomes a
// copy of it with shown 1 and a repaint is requested. Returns 1 when that tile is pinned,
// else 0 (also when no tile lies there; the previous copy then stays).
int selectTileAt(std::int32_t x, std::int32_t y);

// The context menu has closed: redraws the tiles, requests a repaint, clears shown.
void endSelection();

// The selection copy (name, original address, image rect, image copy, shown), or none. Valid until the next
// selectTileAt or releaseSelection.
const Canvas* selectedTile();

void releaseSelection();
