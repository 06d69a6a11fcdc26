#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "mosaic/wall/canvas.h"

// Right-click at a client point: when a grid tile lies there, the selection copy becomes a
// copy of it with shown 1 and a repaint is requested. Returns 1 when that tile is pinned,
// else 0 (also when no tile lies there; the previous copy then stays).
int selectTileAt(std::int32_t x, std::int32_t y);

// The context menu has closed: redraws the tiles, requests a repaint, clears shown.
void endSelection();

// The selection copy (name, original address, the picture's natural bounds, shown; no
// picture), or none. Valid until the next selectTileAt or releaseSelection.
const Canvas* selectedTile();

void releaseSelection();

// What "URLコピー" (original false) and "オリジナルURLコピー" (original true) copy: the
// selection copy's name, the latter its full-size address (originalAddressOf: the name
// followed by ":orig", or the address a hashtag timeline recorded). None without a selection
// copy, and none when the text would pass kMaxCanvasNameBytes, since a cut address names
// another image.
std::optional<std::string> selectedTileAddress(bool original);
