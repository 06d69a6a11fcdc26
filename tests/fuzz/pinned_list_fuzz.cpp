// The pinned-tile list: any bytes load without harm, only tiles with an image enter the
// grid, and the list written afterwards loads back to the same pins with the same original
// addresses and focal points.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "fuzz_check.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/pinned_tiles.h"
#include "mosaic/wall/tile_grid.h"
#include "tests/support/app_state_reset.h"
#include "tests/support/temp_folder.h"

namespace {

// name, column, row, shown, original address, focal point
using Pin = std::tuple<std::string, std::int32_t, std::int32_t, bool, std::string,
                       std::optional<std::pair<float, float>>>;

const TempFolder& workingFolder() {
    static const TempFolder folder;
    static const bool prepared = [] {
        std::filesystem::create_directories(folder.path() / "txts");
        std::filesystem::create_directories(folder.path() / "kotei_tiles" / "olds");
        // Lines naming .../a01.jpg find an image; every other name finds none.
        std::filesystem::copy_file(TILVANE_SOURCE_DIR "/tools/fakeservice/media/a01.jpg",
                                   folder.path() / "kotei_tiles" / "a01.jpg");
        return true;
    }();
    (void)prepared;
    return folder;
}

std::vector<Pin> pinsNow() {
    const AppState& state = appState();
    std::vector<Pin> pins;
    for (const Tile& tile : *gridTiles()) {
        pins.emplace_back(tile.name, tile.rect.left / state.tileWidth,
                          tile.rect.top / state.tileHeight, true, tile.originalUrl,
                          tile.origin.focus);
    }
    for (const DormantPin& pin : state.dormantPins) {
        pins.emplace_back(pin.name, pin.column, pin.row, false, pin.originalUrl, pin.origin.focus);
    }
    return pins;
}

void loadFresh(const std::filesystem::path& list) {
    resetAppState();
    appState().workingRoot = workingFolder().path();
    createGroupCanvases();
    loadPinnedTiles(list);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto root = workingFolder().path();
    const auto list = root / "txts" / "kotei_jpgs.txt";
    writeBytes(list, std::string(reinterpret_cast<const char*>(data), size));
    loadFresh(list);

    const AppState& state = appState();
    std::int32_t pinned = 0;
    for (const Tile& tile : *gridTiles()) {
        FUZZ_CHECK(tile.replaceable == 0);
        FUZZ_CHECK(imageCanvasOf(tile) != nullptr);
        FUZZ_CHECK(isAcceptableCanvasName(tile.name));
        FUZZ_CHECK(tile.originalUrl.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
        FUZZ_CHECK(tile.rect.left >= 0 && tile.rect.right <= kGridColumns * state.tileWidth);
        FUZZ_CHECK(tile.rect.top >= 0 && tile.rect.bottom <= kGridRows * state.tileHeight);
        ++pinned;
    }
    FUZZ_CHECK(state.replaceableCount == std::max(kGridCells - pinned, 1));

    const std::vector<Pin> loaded = pinsNow();
    const auto rewritten = root / "txts" / "rewritten.txt";
    FUZZ_CHECK(writePinnedList(rewritten));
    loadFresh(rewritten);
    FUZZ_CHECK(pinsNow() == loaded);
    resetAppState();
    return 0;
}
