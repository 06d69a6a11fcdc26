#pragma once

#include <cstdint>

#include "mosaic/raster/surface.h"

// A black surface for a whole frame of width × height (the back buffer, the client frame).
// Empty when the size is below 1, past the picture bound (no screen is that large) or when the
// memory is not there: an empty frame paints black instead of ending the program.
Surface frameSurface(std::int32_t width, std::int32_t height);
