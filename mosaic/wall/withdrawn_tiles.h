#pragma once

#include <functional>

#include "mosaic/wall/canvas.h"

// Tiles the user takes off the wall. The grid is changed only under appMutex while a worker
// may be reading it, so a taken tile is first marked withdrawn: it is drawn as an empty cell
// at once and dropped by the next frame that holds the mutex (dropWithdrawnTiles).

// User-interface thread: every grid tile for which test holds is withdrawn; a pinned one is
// unpinned first (its file retired as the unpin command retires it). Returns how many.
int withdrawGridTiles(const std::function<bool(const Tile&)>& test);

// Under appMutex: every queued tile for which test holds is left out of the next placement.
void withdrawQueuedTiles(const std::function<bool(const Tile&)>& test);
