#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "grid_test_support.h"
#include "mosaic/search/search_worker_loop.h"
#include "mosaic/wall/compositing.h"
#include "mosaic/wall/pinned_tiles.h"
#include "mosaic/wall/selection.h"
#include "rotating_feed.h"
#include "settings/data_directories.h"
#include "tests/support/temp_folder.h"

namespace {

// The user-interface thread's side of a paint: places and draws only when it gets the mutex
// without waiting.
void paint() {
    const std::unique_lock lock(appState().appMutex, std::try_to_lock);
    composeFrame(lock.owns_lock());
}

// The cells of the grid hold one tile each at most.
bool oneTilePerCell() {
    std::set<std::pair<std::int32_t, std::int32_t>> cells;
    for (const Tile& tile : *gridTiles()) {
        if (!cells.insert({tile.rect.left, tile.rect.top}).second) {
            return false;
        }
    }
    return true;
}

class ConcurrencyTest : public gridtest::MosaicTest {
  protected:
    void SetUp() override {
        MosaicTest::SetUp();
        ASSERT_TRUE(ensureDataDirectories(folder.path()));
        appState().workingRoot = folder.path();
        loadOptions(folder.path() / "txts" / "tva_option.txt", {});
        rescaleGrid(100, 50);
    }

    TempFolder folder;
};

// Search cycles on the search worker, each under the application mutex and started by a
// tick only once the previous result was placed; meanwhile the user-interface thread paints
// with try-lock, pins and unpins tiles and edits and saves the options.
TEST_F(ConcurrencyTest, WorkerCyclesAgainstPaintsPinTogglesAndOptionWrites) {
    constexpr int kCycles = 200;
    RotatingFeed feed(120, 7);
    const SearchCycleServices services = feed.services();
    int started = 0;

    int round = 0;
    std::string lastKeyword;
    while (started < kCycles || searchCycleRunning()) {
        if (started < kCycles && startSearchCycleWhenIdle(services)) {
            ++started;
        }
        paint();
        ++round;
        const std::int32_t x = 5 + 10 * (round % 10);
        const std::int32_t y = 2 + 5 * (round / 10 % 5);
        if (round % 3 == 0 && tileAt(x, y) != nullptr) {
            selectTileAt(x, y);
            togglePin();
            endSelection();
        }
        if (round % 5 == 0) {
            lastKeyword = "word " + std::to_string(round);
            ASSERT_TRUE(setOption("kensaku_word", std::nullopt, lastKeyword));
            ASSERT_TRUE(setOption("serch_ken", 10 + round % 21));
            std::int32_t count = 0;
            ASSERT_TRUE(getOption("serch_ken", &count));
            ASSERT_TRUE(saveOptions());
        }
        std::this_thread::yield();
    }
    {
        const std::lock_guard hold(appState().appMutex);
        composeFrame(true);
    }

    EXPECT_EQ(feed.searches(), static_cast<std::size_t>(kCycles));
    EXPECT_GT(feed.downloads(), static_cast<std::size_t>(kCycles));
    EXPECT_EQ(appState().tilesPending, 0);
    EXPECT_TRUE(queuedTiles()->empty());
    EXPECT_TRUE(oneTilePerCell());
    EXPECT_LE(gridTiles()->size(), static_cast<std::size_t>(kGridCells));

    // What was saved last reads back, and the pinned list on disk names the pinned tiles.
    loadOptions(folder.path() / "txts" / "tva_option.txt", {});
    std::string keyword;
    std::int32_t unused = 0;
    ASSERT_TRUE(getOption("kensaku_word", &unused, &keyword));
    EXPECT_EQ(keyword, lastKeyword);
    std::set<std::string> pinned;
    for (const Tile& tile : *gridTiles()) {
        if (tile.replaceable == 0) {
            pinned.insert(tile.name);
        }
    }
    const std::string list = readBytes(pinnedListPath());
    for (const std::string& name : pinned) {
        EXPECT_NE(list.find("name=" + name + ","), std::string::npos) << name;
    }
}

}  // namespace
