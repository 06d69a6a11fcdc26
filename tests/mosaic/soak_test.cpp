#include <gtest/gtest.h>

#include <unistd.h>

#include <cstddef>
#include <fstream>
#include <mutex>
#include <string>

#include "grid_test_support.h"
#include "mosaic/search/search_worker.h"
#include "mosaic/wall/compositing.h"
#include "rotating_feed.h"

namespace {

// Resident memory of this process in bytes, from /proc.
std::size_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    std::size_t resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

void placeAndDraw() {
    const std::lock_guard hold(appState().appMutex);
    composeFrame(true);
}

class SoakTest : public gridtest::MosaicTest {};

// A thousand cycles against a feed of 500 distinct pictures, 12 new ones per reply: the wall
// wraps about 240 times. Everything a replaced tile held is released (LeakSanitizer checks
// that in the asan build) and resident memory stays where the first wraps left it.
TEST_F(SoakTest, ThousandCyclesOnARotatingFeedKeepMemoryFlat) {
    loadOptions("/nonexistent/tilvane/tva_option.txt", {});
    ASSERT_TRUE(setOption("serch_ken", 30));
    rescaleGrid(300, 150);
    RotatingFeed feed(500, 12);
    const SearchCycleServices services = feed.services();

    std::size_t afterWarmUp = 0;
    for (int cycle = 1; cycle <= 1000; ++cycle) {
        runSearchWorker(services);
        ASSERT_EQ(appState().tilesPending, 1) << "cycle " << cycle;
        placeAndDraw();
        if (cycle >= 5) {
            ASSERT_EQ(gridTiles()->size(), static_cast<std::size_t>(kGridCells)) << cycle;
        }
        if (cycle == 100) {
            afterWarmUp = residentBytes();
        }
    }
    EXPECT_EQ(feed.downloads(), 12000u);
    const std::size_t atEnd = residentBytes();
    RecordProperty("resident_after_100", std::to_string(afterWarmUp));
    RecordProperty("resident_after_1000", std::to_string(atEnd));
    // A leak of one tile per cycle would add 900 tiles of more than 3 KiB each.
    EXPECT_LE(atEnd, afterWarmUp + 1024 * 1024)
        << "resident " << afterWarmUp << " after 100 cycles, " << atEnd << " after 1000";
}

}  // namespace
