#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "mosaic/search/search_cycle.h"
#include "mosaic/search/search_worker.h"
#include "mosaic/search/wall_visibility.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/shell_hooks.h"
#include "mosaic/wall/tile_grid.h"
#include "settings/option_store.h"
#include "tests/support/app_state_reset.h"

namespace {

std::string photo(const std::string& escapedUrl) {
    return R"({"media_url":")" + escapedUrl + R"(","media_url_https":")" + escapedUrl + R"("},)";
}

DownloadResult pictureOf(std::size_t byteCount, std::int32_t width, std::int32_t height) {
    DownloadResult result;
    result.ok = true;
    result.bytes.assign(byteCount, 0xAB);
    result.picture = Surface::filled(width, height, 0x112233);
    return result;
}

std::vector<std::string> namesOf(const CanvasList* tiles) {
    std::vector<std::string> names;
    for (const Tile& tile : *tiles) {
        names.push_back(tile.name);
    }
    return names;
}

// A stand-in service and image host: the search hands back reply + NUL, each download gives
// what downloads[url] says (failure for an address it does not know).
struct FakeWorld {
    std::string reply;
    std::map<std::string, DownloadResult> downloads;
    std::vector<std::string> fetched;
    std::vector<std::string> keywords;
    std::vector<std::string> counts;

    SearchCycleServices services() {
        return SearchCycleServices{
            [this](std::vector<char>& body, std::string keyword, std::string count) {
                keywords.push_back(keyword);
                counts.push_back(count);
                body.assign(reply.begin(), reply.end());
                body.push_back('\0');
                return !reply.empty();
            },
            [this](const std::string& url) {
                fetched.push_back(url);
                const auto found = downloads.find(url);
                return found == downloads.end() ? DownloadResult{} : found->second;
            },
        };
    }
};

class SearchCycle : public ::testing::Test {
  protected:
    void SetUp() override {
        resetAppState();
        createGroupCanvases();
        loadOptions("/nonexistent/tilvane/tva_option.txt", {});
        ASSERT_TRUE(setOption("serch_ken", 30));
        ASSERT_TRUE(setOption("kensaku_word", std::nullopt, "ねこ cat"));
    }
    void TearDown() override {
        setShellHooks({});
        clearOptions();
        resetAppState();
    }

    // Puts a tile named url into the grid, as if an earlier cycle had placed it.
    static void placeOnWall(const std::string& url, std::int32_t byteSize, std::int32_t width,
                            std::int32_t height) {
        ASSERT_TRUE(enqueueTile(url, byteSize, Surface::filled(width, height, 0),
                                std::vector<std::uint8_t>(static_cast<std::size_t>(byteSize))));
        placeQueuedTiles();
        releaseQueue();
    }

    FakeWorld world;
};

TEST_F(SearchCycle, AsksForTheKeywordAndNoMorePostsThanReplaceableCells) {
    struct Case {
        int pinned;
        const char* count;
    };
    for (const Case c : {Case{0, "30"}, Case{12, "30"}, Case{45, "5"}, Case{50, "1"}}) {
        appState().replaceableCount = kGridCells;
        for (int i = 0; i < c.pinned; ++i) {
            pinTileCount();
        }
        world.counts.clear();
        EXPECT_EQ(runSearchCycle(world.services()), 0);
        ASSERT_EQ(world.counts.size(), 1u);
        EXPECT_EQ(world.counts[0], c.count) << c.pinned << " pinned";
    }
    EXPECT_EQ(world.keywords.back(), "ねこ cat");

    ASSERT_TRUE(setOption("serch_ken", 10));
    appState().replaceableCount = kGridCells;
    runSearchCycle(world.services());
    EXPECT_EQ(world.counts.back(), "10");
}

TEST_F(SearchCycle, QueuesNewPicturesInReplyOrderAndSkipsTheRest) {
    placeOnWall("http://img/shown.jpg", 100, 10, 10);
    world.reply = R"({"statuses":[)" + photo(R"(http:\/\/img\/a.jpg)") +
                  photo(R"(http:\/\/img\/shown.jpg)") + photo(R"(http:\/\/img\/a.jpg)") +
                  photo(R"(http:\/\/img\/unreachable.jpg)") + photo(R"(http:\/\/img\/page.jpg)") +
                  photo(R"(http:\/\/img\/empty.jpg)") + photo(R"(http:\/\/img\/same-as-a.jpg)") +
                  photo(R"(http:\/\/img\/same-as-shown.jpg)") + photo(R"(http:\/\/img\/b.jpg)") +
                  photo(R"(http:\/\/img\/page.jpg)") + photo(R"(http:\/\/img\/unreachable.jpg)") +
                  "]}";
    world.downloads["http://img/a.jpg"] = pictureOf(300, 40, 30);
    world.downloads["http://img/page.jpg"] = DownloadResult{true, {'<', 'h'}, std::nullopt};
    world.downloads["http://img/empty.jpg"] = DownloadResult{true, {}, Surface::filled(5, 5)};
    world.downloads["http://img/same-as-a.jpg"] = pictureOf(300, 40, 30);
    world.downloads["http://img/same-as-shown.jpg"] = pictureOf(100, 10, 10);
    world.downloads["http://img/b.jpg"] = pictureOf(301, 40, 30);

    EXPECT_EQ(runSearchCycle(world.services()), 1);

    // Neither the shown link, nor the one queued earlier in the same reply, nor one refused
    // earlier in the cycle is fetched again.
    EXPECT_EQ(world.fetched,
              (std::vector<std::string>{"http://img/a.jpg", "http://img/unreachable.jpg",
                                        "http://img/page.jpg", "http://img/empty.jpg",
                                        "http://img/same-as-a.jpg", "http://img/same-as-shown.jpg",
                                        "http://img/b.jpg"}));
    ASSERT_EQ(namesOf(queuedTiles()),
              (std::vector<std::string>{"http://img/a.jpg", "http://img/b.jpg"}));
    const Tile& first = queuedTiles()->front();
    EXPECT_EQ(first.byteSize, 300);
    EXPECT_EQ(first.imageBytes.size(), 300u);
    ASSERT_NE(imageCanvasOf(first), nullptr);
    EXPECT_EQ(imageCanvasOf(first)->rect, (Rect{0, 0, 40, 30}));
    EXPECT_EQ(namesOf(gridTiles()), std::vector<std::string>{"http://img/shown.jpg"});
}

TEST_F(SearchCycle, NothingNewReturnsZero) {
    EXPECT_EQ(runSearchCycle(world.services()), 0) << "failed search: the body is the NUL alone";
    EXPECT_TRUE(world.fetched.empty());

    placeOnWall("http://img/shown.jpg", 100, 10, 10);
    world.reply = photo("http://img/shown.jpg") + photo("http://img/copy.jpg") +
                  photo("http://img/p.png") + photo("http://img/broken.jpg");
    world.downloads["http://img/copy.jpg"] = pictureOf(100, 10, 10);
    EXPECT_EQ(runSearchCycle(world.services()), 0);
    EXPECT_EQ(world.fetched,
              (std::vector<std::string>{"http://img/copy.jpg", "http://img/broken.jpg"}));
    EXPECT_TRUE(queuedTiles()->empty());
}

TEST_F(SearchCycle, DownloadingStopsOnceTheQueueCanFillEveryReplaceableCell) {
    for (int i = 0; i < 47; ++i) {
        pinTileCount();
    }
    ASSERT_EQ(appState().replaceableCount, 3);
    for (int i = 0; i < 6; ++i) {
        const std::string url = "http://img/" + std::to_string(i) + ".jpg";
        world.reply += photo(url);
        world.downloads[url] = pictureOf(100 + static_cast<std::size_t>(i), 4, 4);
    }
    // A refused link does not count towards the cells.
    world.downloads["http://img/1.jpg"] = DownloadResult{};

    EXPECT_EQ(runSearchCycle(world.services()), 1);
    EXPECT_EQ(world.fetched, (std::vector<std::string>{"http://img/0.jpg", "http://img/1.jpg",
                                                       "http://img/2.jpg", "http://img/3.jpg"}));
    EXPECT_EQ(
        namesOf(queuedTiles()),
        (std::vector<std::string>{"http://img/0.jpg", "http://img/2.jpg", "http://img/3.jpg"}));
}

TEST_F(SearchCycle, NoDownloadStartsOnceTheWallIsUnseen) {
    for (const char* url : {"http://img/a.jpg", "http://img/b.jpg"}) {
        world.reply += photo(url);
        world.downloads[url] = pictureOf(100, 4, 4);
    }
    SearchCycleServices services = world.services();
    services.download = [download = services.download](const std::string& url) {
        noteSessionLocked(true);  // locked while the first picture comes
        return download(url);
    };
    EXPECT_EQ(runSearchCycle(services), 1);
    EXPECT_EQ(world.fetched, std::vector<std::string>{"http://img/a.jpg"});
}

TEST_F(SearchCycle, LinksTooLongForATileNameAreNeverFetched) {
    const std::string prefix = "http://img/";
    const std::string fits = prefix + std::string(255 - prefix.size() - 4, 'f') + ".jpg";
    const std::string tooLong = prefix + std::string(256 - prefix.size() - 4, 'l') + ".jpg";
    ASSERT_EQ(fits.size(), 255u);
    ASSERT_EQ(tooLong.size(), 256u);
    world.reply = photo(tooLong) + photo(fits);
    world.downloads[tooLong] = pictureOf(10, 2, 2);
    world.downloads[fits] = pictureOf(11, 2, 2);

    EXPECT_EQ(runSearchCycle(world.services()), 1);
    EXPECT_EQ(world.fetched, std::vector<std::string>{fits});
    EXPECT_EQ(namesOf(queuedTiles()), std::vector<std::string>{fits});
}

TEST_F(SearchCycle, WorkerEmptiesTheQueueHoldsTheMutexAndPublishesTheResult) {
    ASSERT_TRUE(enqueueTile("http://img/stale.jpg", 5, Surface::filled(1, 1), {1, 2, 3, 4, 5}));
    int repaints = 0;
    setShellHooks(ShellHooks{[&] { ++repaints; }, {}});

    bool mutexFreeDuringSearch = true;
    world.reply = photo("http://img/new.jpg");
    world.downloads["http://img/new.jpg"] = pictureOf(50, 3, 3);
    SearchCycleServices services = world.services();
    auto search = services.search;
    services.search = [&](std::vector<char>& body, std::string keyword, std::string count) {
        // Another thread must find the mutex taken while the cycle runs.
        std::thread probe([&] {
            if (appState().appMutex.try_lock()) {
                appState().appMutex.unlock();
            } else {
                mutexFreeDuringSearch = false;
            }
        });
        probe.join();
        EXPECT_EQ(appState().tilesPending.load(), 0);
        return search(body, std::move(keyword), std::move(count));
    };

    runSearchWorker(services);

    EXPECT_FALSE(mutexFreeDuringSearch);
    EXPECT_EQ(namesOf(queuedTiles()), std::vector<std::string>{"http://img/new.jpg"});
    EXPECT_EQ(appState().tilesPending.load(), 1);
    EXPECT_EQ(repaints, 1);
    ASSERT_TRUE(appState().appMutex.try_lock());
    appState().appMutex.unlock();

    world.reply.clear();
    runSearchWorker(world.services());
    EXPECT_EQ(appState().tilesPending.load(), 0);
    EXPECT_TRUE(queuedTiles()->empty());
    EXPECT_EQ(repaints, 2);
}

}  // namespace
