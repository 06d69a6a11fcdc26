#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "mosaic/raster/picture_size.h"
#include "mosaic/raster/surface.h"

// How a picture becomes a tile's cell copy. The default is the stretch the paint makes.
struct CellLook {
    bool fill = false;    // keep the aspect ratio and crop to the cell's, rather than stretch
    bool smooth = false;  // average every source pixel under a cell pixel, rather than pick one
    // Where a fill crop centres: [-1, 1], x to the right, y upwards; none: the centre.
    std::optional<std::pair<float, float>> focus;
    bool operator==(const CellLook&) const = default;
};

// The part of a picture of that size shown in a cellWidth × cellHeight cell: the whole picture
// when stretching; when filling, the largest rectangle of the cell's aspect ratio, centred on
// the focal point as far as the picture's edges allow. Empty for sizes below 1.
Rect shownPart(PictureSize picture, std::int32_t cellWidth, std::int32_t cellHeight,
               const CellLook& look);

// Box filter of srcRect (within src) onto the whole of dst: each destination pixel is the
// mean, in linear light, of the source area under it, partly covered pixels by their share.
// Leaves dst unchanged when either is empty or srcRect leaves src.
void averageSurface(const Surface& src, Rect srcRect, Surface& dst);

// averageSurface of an area whose edges need not lie on pixel edges (the shown part of a
// picture decoded at a reduced size).
void averageSurfaceArea(const Surface& src, double left, double top, double width, double height,
                        Surface& dst);

// The cell copy of a natural-size picture: shownPart of it, averaged or stretched into
// width × height. Empty for sizes below 1 or an empty picture.
Surface makeCellCopy(const Surface& picture, std::int32_t width, std::int32_t height,
                     const CellLook& look);
