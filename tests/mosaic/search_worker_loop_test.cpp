#include "mosaic/search/search_worker_loop.h"
#include "mosaic/search/search_state.h"
#include "tests/support/app_state_reset.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "grid_test_support.h"
#include "mosaic/wall/tile_grid.h"

namespace {

using namespace std::chrono_literals;

// Polls until the condition holds; false when it still does not after ten seconds.
bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// A source whose searches wait until the test lets them go (or the exit is asked for), and
// that notes, for each search, how many searches its thread had run until then.
struct HeldSource {
    std::atomic<int> entered{0};
    std::atomic<int> released{0};
    std::atomic<bool> sawExit{false};
    std::vector<int> searchesOnItsThread;
    std::vector<ImageLink> links;

    SearchCycleServices services() {
        SearchCycleServices services;
        services.links = [this](const std::string&, std::int32_t) {
            thread_local int searchesOnThisThread = 0;
            searchesOnItsThread.push_back(++searchesOnThisThread);
            const int number = ++entered;
            while (released < number && !exitWasRequested()) {
                std::this_thread::sleep_for(1ms);
            }
            sawExit = exitWasRequested();
            return links;
        };
        services.download = [](const std::string& address) {
            DownloadResult result;
            result.ok = true;
            result.bytes.assign(address.size() + 100, 7);
            result.picture = Surface::filled(8, 6, 0x336699);
            return result;
        };
        return services;
    }
};

class SearchWorkerLoopTest : public gridtest::MosaicTest {};

TEST_F(SearchWorkerLoopTest, CyclesRunOneAtATimeOnOneThreadThatOutlivesThem) {
    HeldSource source;
    for (int cycle = 1; cycle <= 3; ++cycle) {
        ASSERT_TRUE(startSearchCycleWhenIdle(source.services()));
        ASSERT_TRUE(eventually([&] { return source.entered == cycle; }));
        EXPECT_TRUE(searchCycleRunning());
        EXPECT_FALSE(startSearchCycleWhenIdle(source.services())) << "a second cycle started";
        source.released = cycle;
        ASSERT_TRUE(eventually([] { return !searchCycleRunning(); }));
    }
    // A tick that found a cycle running is not caught up later.
    EXPECT_EQ(source.entered, 3);
    EXPECT_EQ(source.searchesOnItsThread, (std::vector<int>{1, 2, 3}));
}

TEST_F(SearchWorkerLoopTest, APendingResultPausedSearchingOrAnExitStartsNothing) {
    HeldSource source;
    source.links = {ImageLink{"http://img/a.jpg", "http://img/a.jpg", {}}};
    source.released = 1;
    ASSERT_TRUE(startSearchCycleWhenIdle(source.services()));
    ASSERT_TRUE(eventually([] { return !searchCycleRunning(); }));
    ASSERT_EQ(appState().tilesPending.load(), 1);
    ASSERT_EQ(queuedTiles()->size(), 1u);

    EXPECT_FALSE(startSearchCycleWhenIdle(source.services()));
    appState().tilesPending = 0;
    pauseSearch();
    EXPECT_FALSE(startSearchCycleWhenIdle(source.services()));
    resumeSearch();
    requestExit();
    EXPECT_FALSE(startSearchCycleWhenIdle(source.services()));
    EXPECT_EQ(source.entered, 1);
    EXPECT_FALSE(searchCycleRunning());
}

TEST_F(SearchWorkerLoopTest, StoppingWaitsForTheHeldCycleWhichEndsOnTheExit) {
    HeldSource source;
    // Stopping a worker that never started, and stopping twice, are harmless.
    stopSearchWorker();
    ASSERT_TRUE(startSearchCycleWhenIdle(source.services()));
    ASSERT_TRUE(eventually([&] { return source.entered == 1; }));

    requestExit();
    stopSearchWorker();
    EXPECT_TRUE(source.sawExit);
    EXPECT_FALSE(searchCycleRunning());
    EXPECT_FALSE(startSearchCycleWhenIdle(source.services()));
    stopSearchWorker();

    // After the state is reset (the next test) a tick starts a new worker.
    resetAppState();
    createGroupCanvases();
    source.released = 2;
    ASSERT_TRUE(startSearchCycleWhenIdle(source.services()));
    ASSERT_TRUE(eventually([&] { return source.entered == 2 && !searchCycleRunning(); }));
    EXPECT_FALSE(source.sawExit);
    EXPECT_EQ(source.searchesOnItsThread, (std::vector<int>{1, 1}));
}

TEST_F(SearchWorkerLoopTest, AStopWithoutExitLetsTheStartedCycleFinish) {
    HeldSource source;
    ASSERT_TRUE(startSearchCycleWhenIdle(source.services()));
    ASSERT_TRUE(eventually([&] { return source.entered == 1; }));
    std::thread release([&] {
        std::this_thread::sleep_for(50ms);
        source.released = 1;
    });
    stopSearchWorker();
    release.join();
    EXPECT_FALSE(source.sawExit);
    EXPECT_FALSE(searchCycleRunning());
    EXPECT_EQ(appState().tilesPending.load(), 0);
}

}  // namespace
