#include "mosaic/wall/tile_look.h"

#include "settings/wall_options.h"

namespace {

constexpr std::int32_t kFill = 1;
constexpr std::int32_t kSmooth = 2;

}  // namespace

std::int32_t chosenTileLook() {
    return (wallOptionIsOn(WallOption::TileFit) ? kFill : 0) |
           (wallOptionIsOn(WallOption::TileFilter) ? kSmooth : 0);
}

CellLook cellLookOf(std::int32_t tileLook, const TileOrigin& origin) {
    return CellLook{(tileLook & kFill) != 0, (tileLook & kSmooth) != 0, origin.focus};
}
