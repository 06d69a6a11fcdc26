#pragma once

#include <cstdint>

#include "mosaic/raster/surface.h"

inline constexpr std::int32_t kMarkSize = 150;
inline constexpr std::int32_t kMarkKeyRing = 1;
inline constexpr std::int32_t kMarkFrameRing = 5;

inline constexpr std::uint32_t kNewImageFrame = rgb(224, 0, 0);
inline constexpr std::uint32_t kNewImageKey = rgb(255, 196, 196);
inline constexpr std::uint32_t kPinnedFrame = rgb(0, 224, 0);
inline constexpr std::uint32_t kPinnedKey = rgb(224, 160, 192);
inline constexpr std::uint32_t kSelectionFrame = rgb(254, 254, 0);
inline constexpr std::uint32_t kSelectionKey = rgb(255, 196, 196);

// A 150 × 150 mark: a 1-pixel ring of keyColour, a 5-pixel ring of frameColour inside it and
// keyColour within.
Surface makeMarkSurface(std::uint32_t frameColour, std::uint32_t keyColour);

// Transparent copy of the whole mark onto (left, top, tileWidth, tileHeight) of the back
// buffer; the key colour is the mark's pixel at (0, 0), read on every draw.
void drawMark(const Surface& mark, std::int32_t left, std::int32_t top);
