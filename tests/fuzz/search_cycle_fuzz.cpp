// The reply scan and whole search cycles on any reply, with downloads faked from the link
// (some fail, some are not pictures, some are duplicates): links are well formed, the
// queue holds only new pictures, and placement keeps one tile per cell.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_check.h"
#include "mosaic/raster/image_limits.h"
#include "mosaic/search/designed_search.h"
#include "mosaic/search/search_cycle.h"
#include "mosaic/search/search_worker.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/compositing.h"
#include "mosaic/wall/tile_grid.h"
#include "settings/option_store.h"
#include "tests/support/app_state_reset.h"

namespace {

// What the fake image host serves for a link, decided by a hash of the link alone.
DownloadResult fakeDownload(const std::string& url) {
    const std::size_t hash = std::hash<std::string>{}(url);
    DownloadResult result;
    if (hash % 7 == 0) {
        return result;  // cannot be opened
    }
    result.ok = true;
    result.bytes.assign(20 + hash % 13, 0xD8);  // few sizes, so duplicates happen
    if (hash % 7 != 1) {
        result.picture = Surface::filled(static_cast<std::int32_t>(1 + (hash >> 8) % 4),
                                         static_cast<std::int32_t>(1 + (hash >> 12) % 4),
                                         static_cast<std::uint32_t>(hash & 0xFFFFFF));
    }
    return result;
}

void checkGrid() {
    const AppState& state = appState();
    std::set<std::pair<std::int32_t, std::int32_t>> cells;
    for (const Tile& tile : *gridTiles()) {
        FUZZ_CHECK(tile.rect.left % state.tileWidth == 0 && tile.rect.top % state.tileHeight == 0);
        const std::int32_t column = tile.rect.left / state.tileWidth;
        const std::int32_t row = tile.rect.top / state.tileHeight;
        FUZZ_CHECK(column >= 0 && column < kGridColumns && row >= 0 && row < kGridRows);
        FUZZ_CHECK(cells.insert({column, row}).second);
        FUZZ_CHECK(imageCanvasOf(tile) != nullptr);
        FUZZ_CHECK(tile.name.size() <= kMaxTileNameLength);
    }
    FUZZ_CHECK(queuedTiles()->empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool optionsLoaded = [] {
        loadOptions("/nonexistent/tilvane/tva_option.txt", {});
        return true;
    }();
    (void)optionsLoaded;
    const std::string reply(reinterpret_cast<const char*>(data), size);

    const std::vector<std::string> links = extractImageLinks(reply);
    for (const std::string& link : links) {
        FUZZ_CHECK(link.ends_with(".jpg"));
        FUZZ_CHECK(link.find('\\') == std::string::npos && link.find('\0') == std::string::npos);
    }

    resetAppState();
    createGroupCanvases();
    rescaleGrid(100, 50);
    std::size_t searches = 0;
    std::set<std::string> fetched;
    const SearchCycleServices services{
        [&](std::vector<char>& body, std::string, std::string count) {
            ++searches;
            FUZZ_CHECK(count == "20");
            body.assign(reply.begin(), reply.end());
            body.push_back('\0');
            return true;
        },
        [&](const std::string& url) {
            // A link refused or queued is not fetched twice in one cycle.
            FUZZ_CHECK(fetched.insert(url).second);
            return fakeDownload(url);
        },
    };
    for (int cycle = 0; cycle < 2; ++cycle) {
        fetched.clear();
        runSearchWorker(services);
        const auto queued = static_cast<std::int32_t>(queuedTiles()->size());
        FUZZ_CHECK(appState().tilesPending == (queued > 0 ? 1 : 0));
        FUZZ_CHECK(fetched.size() <= links.size());
        {
            const std::unique_lock lock(appState().appMutex, std::try_to_lock);
            FUZZ_CHECK(lock.owns_lock());
            composeFrame(true);
        }
        FUZZ_CHECK(appState().tilesPending == 0);
        checkGrid();
    }
    FUZZ_CHECK(searches == 2);
    resetAppState();
    return 0;
}
