#pragma once

#include <cstdint>

#include "mosaic/raster/cell_look.h"
#include "mosaic/wall/canvas.h"

// The wall's choice of how a picture becomes a tile (tile_fit, tile_filter in txts/wall.txt) as
// one number; 0 is the designed stretch by nearest pixel. A tile's copyLook is the choice its
// cell copy was made in. Safe on any thread.
std::int32_t chosenTileLook();

// The cell look a choice gives a tile with that origin (its focal point).
CellLook cellLookOf(std::int32_t tileLook, const TileOrigin& origin);
