// Full search cycles against the fake service: signed search over TLS, image downloads over
// plain HTTP from its image server, real decoding and the real grid.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "http/io_timeout.h"
#include "http/service_config.h"
#include "mosaic/search/search_cycle.h"
#include "mosaic/search/search_state.h"
#include "mosaic/search/search_worker_loop.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/tile_grid.h"
#include "oauth/oauth_credentials.h"
#include "settings/option_store.h"
#include "tests/support/app_state_reset.h"
#include "tests/support/fake_service.h"

namespace {

namespace fs = std::filesystem;

class SearchCycleAgainstService : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // a03 is padded far past the download limit on every request; searches for
        // "stallsearch" and downloads of c01 get no answer for a minute.
        service_ = std::make_unique<FakeService>(
            std::vector<std::string>{R"({"path": "/media/a03.jpg", "mode": "oversize",)"
                                     R"( "size": 40000000, "times": -1, "server": "image"})",
                                     R"({"path": "/1.1/search/tweets.json", "mode": "stall",)"
                                     R"( "keyword": "stallsearch", "times": -1, "seconds": 60})",
                                     R"({"path": "/media/c01.jpg", "mode": "stall", "times": -1,)"
                                     R"( "seconds": 60, "server": "image"})"});
        if (!service_->running()) {
            startFailure_ = service_->Output();
            if (startFailure_.empty()) {
                startFailure_ = "(no output)";
            }
        }
    }
    static void TearDownTestSuite() { service_.reset(); }

    void SetUp() override {
        ASSERT_TRUE(startFailure_.empty()) << "fake service did not start:\n" << startFailure_;
        ASSERT_TRUE(loadServiceConfig(service_->ServiceTxt().string()));
        publishCredentials(OAuthCredentials{
            service_->Field("consumer_key"), service_->Field("consumer_secret"),
            service_->Field("access_token"), service_->Field("access_token_secret")});
        resetAppState();
        createGroupCanvases();
        loadOptions("/nonexistent/tilvane/tva_option.txt", {});
        logStart_ = service_->LogLines().size();
    }
    void TearDown() override {
        clearOptions();
        resetAppState();
    }

    void search(const std::string& keyword, int postsPerSearch) {
        ASSERT_TRUE(setOption("kensaku_word", std::nullopt, keyword));
        ASSERT_TRUE(setOption("serch_ken", postsPerSearch));
    }

    std::string media(const std::string& name) const {
        return service_->Field("image_url") + "/media/" + name;
    }

    // Log lines of this test that contain every one of the texts.
    std::vector<std::string> requestsWith(const std::vector<std::string>& texts) const {
        std::vector<std::string> found;
        const auto lines = service_->LogLines();
        for (std::size_t i = logStart_; i < lines.size(); ++i) {
            bool all = true;
            for (const std::string& t : texts) {
                all = all && lines[i].find(t) != std::string::npos;
            }
            if (all) {
                found.push_back(lines[i]);
            }
        }
        return found;
    }

    static std::vector<std::string> queuedNames() {
        std::vector<std::string> names;
        for (const Tile& tile : *queuedTiles()) {
            names.push_back(tile.name);
        }
        return names;
    }

    static const Tile* queued(const std::string& name) {
        for (const Tile& tile : *queuedTiles()) {
            if (tile.name == name) {
                return &tile;
            }
        }
        return nullptr;
    }

    // Starts a cycle as the timer does, then gives the exit command once a request
    // containing `seen` has reached the service, and expects the worker to be stopped well
    // before any time-out could end the exchange.
    void exitWhileStuckOn(const std::string& seen) {
        SetIoTimeout(std::chrono::seconds(25));
        ASSERT_TRUE(startSearchCycleWhenIdle());
        for (int i = 0; i < 1000 && requestsWith({seen}).empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_FALSE(requestsWith({seen}).empty());
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_TRUE(searchCycleRunning()) << "the worker was not held";
        requestExit();
        auto stopping = std::async(std::launch::async, [] { stopSearchWorker(); });
        // A generous ceiling: the exit is seen within a slice, or a second inside curl.
        EXPECT_EQ(stopping.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        stopping.wait();
        SetIoTimeout(kDefaultIoTimeout);
    }

    static inline std::unique_ptr<FakeService> service_;
    static inline std::string startFailure_;
    std::size_t logStart_ = 0;
};

TEST_F(SearchCycleAgainstService, QueuesTheJpegsOfAMixedReplyInOrder) {
    search("mixed", 30);
    for (int i = 0; i < 12; ++i) {
        pinTileCount();
    }
    EXPECT_EQ(runSearchCycle(defaultSearchCycleServices()), 1);
    EXPECT_EQ(queuedNames(), (std::vector<std::string>{media("a01.jpg"), media("b01.jpg"),
                                                       media("a02.jpg"), media("b02.jpg")}));
    const Tile* a01 = queued(media("a01.jpg"));
    ASSERT_NE(a01, nullptr);
    const fs::path a01File = fs::path(TILVANE_SOURCE_DIR) / "tools/fakeservice/media/a01.jpg";
    const std::string a01Bytes = readBytes(a01File);
    EXPECT_EQ(std::string(a01->imageBytes.begin(), a01->imageBytes.end()), a01Bytes);
    EXPECT_EQ(a01->byteSize, static_cast<std::int32_t>(a01Bytes.size()));
    ASSERT_NE(imageCanvasOf(*a01), nullptr);
    EXPECT_EQ(imageCanvasOf(*a01)->rect, (Rect{0, 0, 80, 60}));

    const auto searches = requestsWith({R"("path": "/1.1/search/tweets.json")"});
    ASSERT_EQ(searches.size(), 1u);
    EXPECT_NE(searches[0].find(R"("signature": "ok")"), std::string::npos) << searches[0];
    EXPECT_NE(searches[0].find(R"("count": "30")"), std::string::npos) << searches[0];
    // PNG links are never fetched; each new JPEG link once.
    EXPECT_TRUE(requestsWith({R"("path": "/media/p0)"}).empty());
    EXPECT_EQ(requestsWith({R"("path": "/media/a01.jpg")"}).size(), 1u);
    EXPECT_FALSE(requestsWith({R"("path": "/media/x01.jpg")"}).empty());
}

TEST_F(SearchCycleAgainstService, OriginalFetchesTheLargePictureUnderThePlainName) {
    search("cats", 4);
    ASSERT_TRUE(setOption("original", 1));
    EXPECT_EQ(runSearchCycle(defaultSearchCycleServices()), 1);
    // a03 arrives past the byte limit and is skipped.
    EXPECT_EQ(queuedNames(),
              (std::vector<std::string>{media("a01.jpg"), media("a02.jpg"), media("a04.jpg")}));
    const Tile* a01 = queued(media("a01.jpg"));
    ASSERT_NE(a01, nullptr);
    ASSERT_NE(imageCanvasOf(*a01), nullptr);
    EXPECT_EQ(imageCanvasOf(*a01)->rect, (Rect{0, 0, 160, 120}));
    EXPECT_EQ(requestsWith({R"("path": "/media/a01.jpg:orig")", R"("orig": true)"}).size(), 1u);
    EXPECT_FALSE(requestsWith({R"("path": "/media/a03.jpg:orig")"}).empty());
}

TEST_F(SearchCycleAgainstService, BrokenAndDuplicatePicturesAreNotQueued) {
    search("broken", 4);
    EXPECT_EQ(runSearchCycle(defaultSearchCycleServices()), 0);
    EXPECT_TRUE(queuedTiles()->empty());
    // Every photo stands twice in the reply; a link that gave no picture is remembered for
    // the rest of the cycle, so each of the four is fetched once.
    EXPECT_EQ(requestsWith({R"("path": "/media/x0)"}).size(), 4u);

    // d02 repeats d01's bytes; d04 has d03's byte count and pixel size.
    search("dupes", 4);
    EXPECT_EQ(runSearchCycle(defaultSearchCycleServices()), 1);
    EXPECT_EQ(queuedNames(), (std::vector<std::string>{media("d01.jpg"), media("d03.jpg")}));
}

TEST_F(SearchCycleAgainstService, AnExitEndsACycleHeldByAStalledSearch) {
    search("stallsearch", 10);
    exitWhileStuckOn(R"("keyword": "stallsearch")");
    EXPECT_TRUE(queuedTiles()->empty());
    EXPECT_EQ(appState().tilesPending.load(), 0);
    EXPECT_TRUE(requestsWith({R"("path": "/media/)"}).empty());
}

TEST_F(SearchCycleAgainstService, AnExitEndsACycleHeldByAStalledImageAndQueuesNothingMore) {
    // The default set: a01 to b12 first (a03 refused), then c01, which stalls, then c02.
    search("stallimages", 30);
    exitWhileStuckOn(R"("path": "/media/c01.jpg")");
    const auto names = queuedNames();
    EXPECT_EQ(names.size(), 23u);
    EXPECT_EQ(std::count(names.begin(), names.end(), media("c01.jpg")), 0);
    EXPECT_TRUE(requestsWith({R"("path": "/media/c02.jpg")"}).empty());
}

}  // namespace
