#pragma once

#include <windows.h>

#include <optional>

#include "mosaic/raster/surface.h"

// The bitmap resource id of module as a Surface (0x00RRGGBB), whatever its bit depth;
// none when it cannot be loaded.
std::optional<Surface> surfaceFromBitmapResource(HMODULE module, int id);

// Fills the three mark surfaces of appState() from bitmaps 117, 116 and 115; a mark whose
// bitmap cannot be read is made in code with the same layout.
void loadMarkSurfaces(HMODULE module);
