#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "http/service_config.h"
#include "mosaic/raster/picture_decoder.h"
#include "mosaic/raster/picture_hash.h"
#include "mosaic/search/hidden_list.h"
#include "mosaic/search/post_filter.h"
#include "mosaic/search/search_cycle.h"
#include "mosaic/wall/pinned_tiles.h"
#include "mosaic/wall/withdrawn_tiles.h"
#include "settings/wall_options.h"
#include "tests/mosaic/grid_test_support.h"
#include "tests/support/temp_folder.h"

namespace {

Surface mediaPicture(const char* name) {
    return decodePicture(gridtest::fileBytes(gridtest::mediaFolder() / name)).value();
}

class Moderation : public gridtest::MosaicTest {
  protected:
    void SetUp() override {
        MosaicTest::SetUp();
        loadOptions("/nonexistent/tilvane/tva_option.txt", {});
        ASSERT_TRUE(setOption("serch_ken", 30));
        appState().workingRoot = folder.path();
        std::filesystem::create_directories(folder.path() / "txts");
        loadHiddenList(hiddenListPath());
    }
    void TearDown() override {
        resetHiddenList();
        resetWallOptions();
        setServiceConfig(ServiceConfig{});
        MosaicTest::TearDown();
    }

    // One search over links; each address downloads as pictures[address] with a byte count of
    // its own, so only the hash can tell two copies of a picture apart.
    std::vector<std::string> queuedAfterCycle(const std::vector<ImageLink>& links) {
        SearchCycleServices services{{},
                                     [this](const std::string& address) {
                                         DownloadResult result;
                                         result.ok = pictures.contains(address);
                                         result.bytes.assign(address.size() + 100, 0xAB);
                                         result.picture = pictures[address];
                                         return result;
                                     },
                                     [links](const std::string&, std::int32_t) { return links; }};
        runSearchCycle(services);
        std::vector<std::string> names;
        for (const Tile& tile : *queuedTiles()) {
            names.push_back(tile.name);
        }
        releaseQueue();
        return names;
    }

    static ImageLink link(std::string address, std::string author = {}, std::string text = {}) {
        return ImageLink{address, address, {}, std::move(author), {}, std::move(text)};
    }

    std::string listText() { return readBytes(hiddenListPath()); }

    TempFolder folder;
    std::map<std::string, Surface> pictures{{"https://h/cat.jpg", mediaPicture("a10.jpg")},
                                            {"https://h/cat-again.jpg", mediaPicture("a10.jpg")},
                                            {"https://h/box.jpg", mediaPicture("b09.jpg")}};
};

TEST_F(Moderation, HiddenEntriesRoundTripThroughTheFileAndComeBackWhenTakenBack) {
    const std::string odd = "https://h/a,b%c d.jpg";
    ASSERT_TRUE(hidePicture(odd, 0x0123456789abcdefULL));
    ASSERT_TRUE(hideAuthor("mastodon", "alice@example.org"));
    ASSERT_TRUE(hidePicture("https://h/plain.jpg", std::nullopt));
    ASSERT_TRUE(hidePicture(odd, 0x0123456789abcdefULL));  // already there: one line

    loadHiddenList(hiddenListPath());
    EXPECT_TRUE(isHiddenAddress(odd));
    EXPECT_TRUE(isHiddenLook(0x0123456789abcdefULL ^ 0x7));
    EXPECT_FALSE(isHiddenLook(~0x0123456789abcdefULL));
    EXPECT_TRUE(isHiddenAuthor("mastodon", "alice@example.org"));
    EXPECT_FALSE(isHiddenAuthor("misskey", "alice@example.org"));
    EXPECT_EQ(hiddenEntryLabels(), (std::vector<std::string>{odd, "alice@example.org (mastodon)",
                                                             "https://h/plain.jpg"}));

    ASSERT_TRUE(unhideEntry(0));
    EXPECT_FALSE(unhideEntry(2));
    loadHiddenList(hiddenListPath());
    EXPECT_FALSE(isHiddenAddress(odd));
    EXPECT_FALSE(anyHiddenLook());
    EXPECT_EQ(
        listText(),
        "author=alice%40example.org,source=mastodon,\nurl=https%3A%2F%2Fh%2Fplain.jpg,hash=,\n");
}

TEST_F(Moderation, MalformedLinesAreSkippedAndKeptAndAnOversizedFileIsNeverRewritten) {
    const std::string malformed =
        "garbage\nurl=,hash=,\nurl=x,hash=12,\nauthor=bob,source=mastodon\nhash=00,url=x,\n";
    writeBytes(hiddenListPath(), malformed + "url=https%3A%2F%2Fh%2Fok.jpg,hash=,\r\n");
    loadHiddenList(hiddenListPath());
    EXPECT_EQ(hiddenEntryLabels(), std::vector<std::string>{"https://h/ok.jpg"});
    EXPECT_FALSE(isHiddenAuthor("mastodon", "bob"));
    ASSERT_TRUE(hideAuthor("twitter", "carol"));
    EXPECT_EQ(listText(),
              malformed + "url=https%3A%2F%2Fh%2Fok.jpg,hash=,\nauthor=carol,source=twitter,\n");

    const std::string huge(kMaxHiddenListBytes + 1, 'x');
    writeBytes(hiddenListPath(), huge);
    loadHiddenList(hiddenListPath());
    EXPECT_FALSE(hideAuthor("twitter", "dave"));
    EXPECT_TRUE(isHiddenAuthor("twitter", "dave"));
    EXPECT_EQ(listText(), huge);
}

TEST_F(Moderation, HiddenAddressesAuthorsOfTheirSourceLooksAndSkipWordsAreNotQueued) {
    ServiceConfig config;
    config.source = SearchSource::HashtagTimeline;
    setServiceConfig(config);
    hideAuthor("mastodon", "alice");
    pictures["https://h/alice.jpg"] = mediaPicture("c01.jpg");
    EXPECT_EQ(queuedAfterCycle({link("https://h/alice.jpg", "alice"), link("https://h/box.jpg")}),
              std::vector<std::string>{"https://h/box.jpg"});
    setServiceConfig(ServiceConfig{});  // the same name on another source is someone else
    EXPECT_EQ(queuedAfterCycle({link("https://h/alice.jpg", "alice")}),
              std::vector<std::string>{"https://h/alice.jpg"});

    hidePicture("https://h/cat.jpg", pictureHash(pictures["https://h/cat.jpg"]));
    EXPECT_EQ(queuedAfterCycle({link("https://h/cat.jpg"), link("https://h/cat-again.jpg"),
                                link("https://h/box.jpg")}),
              std::vector<std::string>{"https://h/box.jpg"});

    setWallOptionText(WallOption::SkipWords, "SPOILER\xE3\x80\x80ネタバレ");
    EXPECT_EQ(skipWordsOf("a  B\xE3\x80\x80"
                          "c"),
              (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(queuedAfterCycle({link("https://h/box.jpg", "", "big Spoiler ahead"),
                                link("https://h/alice.jpg", "", "今日のネタバレ")}),
              std::vector<std::string>{});
}

TEST_F(Moderation, SimilarSkipKeepsANearDuplicateOfAWallTileOffOnlyWhenOn) {
    Tile& onWall = gridtest::addGridTile("https://h/first-cat.jpg", Cell{0, 0}, false);
    onWall.pictureHash = pictureHash(pictures["https://h/cat.jpg"]);
    const std::vector<ImageLink> links{link("https://h/cat.jpg"), link("https://h/box.jpg")};
    EXPECT_EQ(queuedAfterCycle(links),
              (std::vector<std::string>{"https://h/cat.jpg", "https://h/box.jpg"}));
    setWallOption(WallOption::SimilarSkip, 1);
    EXPECT_EQ(queuedAfterCycle(links), std::vector<std::string>{"https://h/box.jpg"});
    // Two copies in one reply: the second looks like the first, already queued.
    gridTiles()->clear();
    EXPECT_EQ(queuedAfterCycle({link("https://h/cat-again.jpg"), link("https://h/cat.jpg")}),
              std::vector<std::string>{"https://h/cat-again.jpg"});
}

TEST_F(Moderation, AWithdrawnPinnedTileIsUnpinnedDrawnAsAnEmptyCellAndDroppedUnderTheLock) {
    const auto kept = pinnedFolder() / "kept.jpg";
    std::filesystem::create_directories(retiredFolder());
    writeBytes(kept, "jpeg");
    Tile& pinned = gridtest::addGridTile("https://h/kept.jpg", Cell{1, 0}, true);
    pinTileCount();
    gridtest::addGridTile("https://h/other.jpg", Cell{2, 0}, false);
    ASSERT_TRUE(writePinnedList(pinnedListPath()));

    EXPECT_EQ(withdrawGridTiles([](const Tile& t) { return t.name == "https://h/kept.jpg"; }), 1);
    EXPECT_EQ(pinned.replaceable, 1);
    EXPECT_FALSE(std::filesystem::exists(kept));
    EXPECT_EQ(readBytes(pinnedListPath()), "");
    EXPECT_EQ(appState().replaceableCount.load(), kGridCells);

    dropWithdrawnTiles();
    EXPECT_EQ(gridtest::cellsOfGrid(), std::vector<Cell>{(Cell{2, 0})});
}

}  // namespace
