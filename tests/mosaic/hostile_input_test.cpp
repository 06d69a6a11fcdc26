// Search replies and images written to break the wall: names that climb out of folders or
// that Windows reserves, links far past what a tile holds, hundreds of thousands of markers,
// pictures declaring enormous sizes. None may crash the cycle, write outside ./kotei_tiles/,
// or be decoded.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "grid_test_support.h"
#include "mosaic/raster/jpeg_scan_count.h"
#include "mosaic/raster/picture_decoder.h"
#include "mosaic/search/search_cycle.h"
#include "mosaic/wall/compositing.h"
#include "mosaic/wall/pinned_tiles.h"
#include "mosaic/wall/selection.h"
#include "mosaic/wall/tile_grid.h"
#include "settings/option_store.h"
#include "tests/support/app_state_reset.h"
#include "tests/support/hostile_jpeg.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_jpeg.h"

namespace fs = std::filesystem;

namespace {

// A photo entry as the service writes it, slashes escaped.
std::string photo(std::string url) {
    std::string escaped;
    for (const char c : url) {
        escaped += c == '/' ? std::string("\\/") : std::string(1, c);
    }
    return R"({"media_url":")" + escaped + R"(","media_url_https":")" + escaped + R"("},)";
}

class HostileInput : public gridtest::MosaicTest {
  protected:
    void SetUp() override {
        MosaicTest::SetUp();
        outer_ = folder_.path();
        root_ = outer_ / "work";
        fs::create_directories(root_ / "txts");
        fs::create_directories(root_ / "kotei_tiles" / "olds");
        appState().workingRoot = root_;
        loadOptions("/nonexistent/tilvane/tva_option.txt", {});
        ASSERT_TRUE(setOption("serch_ken", 30));
    }

    // A cycle over reply whose every download gives bytesFor(url), decoded for real.
    template <typename BytesFor>
    int runCycle(const std::string& reply, BytesFor bytesFor) {
        SearchCycleServices services{
            [&](std::vector<char>& body, std::string, std::string) {
                body.assign(reply.begin(), reply.end());
                body.push_back('\0');
                return true;
            },
            [&](const std::string& url) {
                fetched_.push_back(url);
                DownloadResult result;
                result.ok = true;
                result.bytes = bytesFor(url);
                result.picture = decodePicture(result.bytes);
                return result;
            },
        };
        return runSearchCycle(services);
    }

    TempFolder folder_;
    fs::path outer_;
    fs::path root_;
    std::vector<std::string> fetched_;
};

TEST_F(HostileInput, NamesThatClimbOutOrThatWindowsReservesStayInThePinnedFolder) {
    const std::vector<std::string> names = {"../../../escape.jpg",
                                            "..\\..\\..\\backslash.jpg",
                                            "C:drive.jpg",
                                            "CON.jpg",
                                            "lpt1.jpg",
                                            "NUL .jpg",
                                            "a/../../../../up.jpg",
                                            "..jpg",
                                            "%2e%2e%2fcoded.jpg",
                                            "aux.txt.jpg",
                                            "x\\..\\..\\y.jpg",
                                            ":.jpg"};
    std::string reply = R"({"statuses":[)";
    for (const std::string& name : names) {
        reply += photo("http://h.example/media/" + name);
    }
    int size = 8;
    EXPECT_EQ(runCycle(reply,
                       [&](const std::string&) {
                           size += 8;  // a different picture for every link
                           return testjpeg::solid(size, 8, 0x3366CC);
                       }),
              1);
    ASSERT_EQ(queuedTiles()->size(), names.size());
    rescaleGrid(750, 375);
    placeQueuedTiles();
    std::vector<std::string> pinned;
    for (const Tile& tile : *gridTiles()) {
        selectTileAt(tile.rect.left + 1, tile.rect.top + 1);
        endSelection();
        togglePin();
        pinned.push_back(tile.name);
    }

    // Only the work folder holds anything, and in it only the list and the images.
    std::vector<fs::path> outside;
    for (const auto& entry : fs::directory_iterator(outer_)) {
        if (entry.path() != root_) {
            outside.push_back(entry.path());
        }
    }
    EXPECT_TRUE(outside.empty());
    std::size_t images = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const fs::path parent = entry.path().parent_path();
        EXPECT_TRUE(parent == root_ / "kotei_tiles" || entry.path() == pinnedListPath())
            << entry.path();
        images += parent == root_ / "kotei_tiles" ? 1 : 0;
    }
    EXPECT_EQ(images, names.size());

    // And every one comes back.
    resetAppState();
    appState().workingRoot = root_;
    createGroupCanvases();
    loadPinnedTiles(pinnedListPath());
    for (const std::string& name : pinned) {
        EXPECT_NE(findCanvas(*gridTiles(), name), nullptr) << name;
    }
}

// Each marker without a link makes the extractor search the rest of the body, so the cost
// grows with the square of their number: 100 000 of them take minutes, 10 000 seconds.
constexpr int kIdleMarkers = 3000;

TEST_F(HostileInput, OverlongLinksAndHugeMarkerCountsAreNeverFetched) {
    std::string reply =
        R"({"statuses":[)" + photo("http://h.example/" + std::string(10000, 'a') + ".jpg");
    // Markers that lead to no link at all, then one real link.
    for (int i = 0; i < kIdleMarkers; ++i) {
        reply += R"("media_url":"x",)";
    }
    reply += photo("http://h.example/media/real.jpg");
    EXPECT_EQ(runCycle(reply, [](const std::string&) { return testjpeg::solid(8, 8, 0xAA0000); }),
              1);
    // The markers just before the real link read as links that run up to its ".jpg"; the
    // first short enough for a tile name is fetched (and then holds the real link, which a
    // name containing it counts as shown); the overlong one never is.
    ASSERT_EQ(fetched_.size(), 1u);
    for (const std::string& url : fetched_) {
        EXPECT_LE(url.size(), 255u);
        EXPECT_TRUE(url.ends_with("real.jpg")) << url;
    }
}

TEST_F(HostileInput, PicturesDeclaringHugeSizesOrEndlessScansAreNotDecoded) {
    std::vector<std::uint8_t> huge = testjpeg::solid(16, 16, 0x00AA00);
    for (std::size_t i = 2; i + 8 < huge.size(); ++i) {
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = huge[i + 6] = huge[i + 7] = huge[i + 8] = 0xFF;  // 65535 × 65535
            break;
        }
    }
    const std::vector<std::vector<std::uint8_t>> files = {
        huge, testjpeg::emptyScans(8000, 8000, 1000), testjpeg::emptyScans(65535, 65535, 50),
        testjpeg::emptyScans(16, 16, static_cast<int>(kMaxJpegScans) + 1)};
    std::string reply = R"({"statuses":[)";
    for (std::size_t i = 0; i < files.size(); ++i) {
        reply += photo("http://h.example/media/h" + std::to_string(i) + ".jpg");
    }
    std::size_t next = 0;
    EXPECT_EQ(runCycle(reply, [&](const std::string&) { return files[next++ % files.size()]; }), 0);
    EXPECT_EQ(fetched_.size(), files.size());
    EXPECT_TRUE(queuedTiles()->empty());
}

}  // namespace
