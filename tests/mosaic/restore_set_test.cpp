#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "grid_test_support.h"
#include "mosaic/wall/restore_set.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_jpeg.h"

namespace fs = std::filesystem;

namespace {

using gridtest::cellsOfGrid;

class RestoreSetTest : public gridtest::MosaicTest {
  protected:
    void SetUp() override {
        MosaicTest::SetUp();
        appState().workingRoot = root_.path();
    }

    Tile& placeJpeg(const std::string& url, Cell cell, bool pinned = false) {
        Tile& tile = gridtest::addGridTile(url, cell, pinned);
        tile.imageBytes =
            testjpeg::solid(16, 8, rgb(0, 128, static_cast<std::uint8_t>(url.size())));
        tile.byteSize = static_cast<std::int32_t>(tile.imageBytes.size());
        return tile;
    }

    // Start-up again with the files on disk and a pin in pinnedCell, if any.
    std::size_t restart(std::optional<Cell> pinnedCell = std::nullopt) {
        resetAppState();
        appState().workingRoot = root_.path();
        createGroupCanvases();
        if (pinnedCell) {
            gridtest::addGridTile("http://pin.example/p.jpg", *pinnedCell, true);
        }
        return loadRestoreSet(restoreFolder());
    }

    std::vector<std::string> folderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(restoreFolder())) {
            names.push_back(fs::relative(entry.path(), restoreFolder()).generic_string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempFolder root_;
};

TEST_F(RestoreSetTest, UnpinnedTilesComeBackInTheirCellsWithWhereTheyCameFrom) {
    Tile& first = placeJpeg("http://a.example/one.jpg", Cell{3, 1});
    const std::string original = "http://a.example/one.jpg?size=large\t%,x";
    first.originalUrl = original;
    first.origin =
        TileOrigin{"@someone 名前", "https://a.example/@someone/1", std::pair{0.25f, -1.0f}};
    const std::vector<std::uint8_t> firstBytes = first.imageBytes;
    placeJpeg("http://a.example/two.jpg", Cell{0, 4});
    placeJpeg("http://a.example/pinned.jpg", Cell{5, 0}, true);
    appState().cursorColumn = 2;  // the next placement was to go to (3, 1)
    appState().cursorRow = 1;
    ASSERT_TRUE(writeRestoreSet(restoreFolder()));
    EXPECT_EQ(folderEntries(), (std::vector<std::string>{"1", "1/0_4", "1/3_1", "kabe.txt"}));

    EXPECT_EQ(restart(), 2u);
    EXPECT_EQ(gridtest::namesOfGrid(),
              (std::vector<std::string>{"http://a.example/one.jpg", "http://a.example/two.jpg"}));
    EXPECT_EQ(cellsOfGrid(), (std::vector<Cell>{{3, 1}, {0, 4}}));
    const Tile& restored = gridTiles()->front();
    EXPECT_EQ(restored.imageBytes, firstBytes);
    EXPECT_EQ(restored.originalUrl, original);
    EXPECT_EQ(restored.origin.author, "@someone 名前");
    EXPECT_EQ(restored.origin.postPage, "https://a.example/@someone/1");
    EXPECT_EQ(restored.origin.focus, (std::pair{0.25f, -1.0f}));
    EXPECT_EQ(restored.replaceable, 1);
    EXPECT_EQ(restored.newMark, 0);
    EXPECT_EQ(findReplaceableCell(), (Cell{1, 4}));

    // The next set replaces the whole folder: a tile no longer on the wall leaves no file.
    gridTiles()->pop_back();
    ASSERT_TRUE(writeRestoreSet(restoreFolder()));
    EXPECT_EQ(folderEntries(), (std::vector<std::string>{"2", "2/3_1", "kabe.txt"}));
}

TEST_F(RestoreSetTest, AKilledOrFailedWriteLeavesTheOldSetOrTheNewOneNeverAMix) {
    placeJpeg("http://old.example/a.jpg", Cell{0, 0});
    placeJpeg("http://old.example/b.jpg", Cell{1, 0});
    ASSERT_TRUE(writeRestoreSet(restoreFolder()));
    const fs::path folder = restoreFolder();
    fs::copy(folder / "1", root_.path() / "old-set");

    // Killed before the index names the new generation: its files lie unnamed.
    fs::create_directory(folder / "2");
    writeBytes(folder / "2" / "0_0", std::string(100, 'x'));
    EXPECT_EQ(restart(), 2u);
    EXPECT_EQ(gridtest::namesOfGrid(),
              (std::vector<std::string>{"http://old.example/a.jpg", "http://old.example/b.jpg"}));

    // The index cannot be replaced: the write fails and the old set stays whole.
    fs::create_directory(folder / "kabe.txt.tmp");
    gridTiles()->front().name = "http://new.example/a.jpg";
    EXPECT_FALSE(writeRestoreSet(folder));
    EXPECT_EQ(restart(), 2u);
    EXPECT_EQ(gridtest::namesOfGrid().front(), "http://old.example/a.jpg");
    fs::remove(folder / "kabe.txt.tmp");

    // Killed after the switch, before the old generation went: only the new set is read.
    gridTiles()->front().name = "http://new.example/a.jpg";
    gridTiles()->pop_back();
    ASSERT_TRUE(writeRestoreSet(folder));
    fs::copy(root_.path() / "old-set", folder / "1");
    EXPECT_EQ(restart(), 1u);
    EXPECT_EQ(gridtest::namesOfGrid(), (std::vector<std::string>{"http://new.example/a.jpg"}));
}

TEST_F(RestoreSetTest, BadEntriesAndCellsTakenByAPinSinceArePassedOver) {
    for (std::int32_t column = 0; column < 4; ++column) {
        placeJpeg("http://a.example/" + std::to_string(column) + ".jpg", Cell{column, 2});
    }
    ASSERT_TRUE(writeRestoreSet(restoreFolder()));
    const fs::path folder = restoreFolder();
    fs::remove(folder / "1" / "0_2");                           // missing
    writeBytes(folder / "1" / "1_2", std::string(64, '\xFF'));  // undecodable
    std::string index = readBytes(folder / "kabe.txt");
    index += "10\t0\thttp://a.example/off.jpg\t\t\t\t\t\n";   // off the grid
    index += "3\t2\thttp://a.example/again.jpg\t\t\t\t\t\n";  // a second line for a cell
    index += "4\t2\tnot enough fields\n";
    writeBytes(folder / "kabe.txt", index);

    EXPECT_EQ(restart(Cell{2, 2}), 1u);
    EXPECT_EQ(gridtest::namesOfGrid(),
              (std::vector<std::string>{"http://pin.example/p.jpg", "http://a.example/3.jpg"}));

    for (const std::string bad : {"", "generation=x\n0\t2\thttp://a.example/0.jpg\t\t\t\t\t\n"}) {
        writeBytes(folder / "kabe.txt", bad);
        EXPECT_EQ(restart(), 0u);
    }
    fs::remove(folder / "kabe.txt");
    EXPECT_EQ(restart(), 0u);
}

}  // namespace
