#include <gtest/gtest.h>

#include <string>

#include "grid_test_support.h"
#include "mosaic/wall/selection.h"

namespace {

using gridtest::addGridTile;

class SelectionAddressTest : public gridtest::MosaicTest {};

TEST_F(SelectionAddressTest, NothingWithoutARightClickedTile) {
    EXPECT_EQ(selectedTileAddress(false), std::nullopt);
    EXPECT_EQ(selectedTileAddress(true), std::nullopt);
    addGridTile("http://m.example/a.jpg", Cell{0, 0}, false);
    EXPECT_EQ(selectTileAt(400, 400), 0);  // an empty cell selects nothing
    EXPECT_EQ(selectedTileAddress(false), std::nullopt);
}

TEST_F(SelectionAddressTest, TheAddressAndTheOriginalOfTheTileRightClickedLast) {
    addGridTile("http://m.example/media/a.jpg", Cell{0, 0}, false);
    addGridTile("http://m.example/media/b.jpg", Cell{1, 0}, true);
    selectTileAt(160, 10);
    EXPECT_EQ(selectedTileAddress(false), "http://m.example/media/b.jpg");
    EXPECT_EQ(selectedTileAddress(true), "http://m.example/media/b.jpg:orig");
    selectTileAt(10, 10);
    endSelection();
    // An empty cell keeps the earlier copy, and so does a tile that has left the grid.
    selectTileAt(700, 700);
    releaseGrid();
    EXPECT_EQ(selectedTileAddress(false), "http://m.example/media/a.jpg");
    EXPECT_EQ(selectedTileAddress(true), "http://m.example/media/a.jpg:orig");
}

TEST_F(SelectionAddressTest, AnOriginalAddressPastTheNameLimitIsNotCut) {
    const std::string prefix = "http://m.example/";
    const std::string fits = prefix + std::string(250 - prefix.size() - 4, 'a') + ".jpg";
    const std::string tooLong = prefix + std::string(251 - prefix.size() - 4, 'b') + ".jpg";
    const std::string longest = prefix + std::string(255 - prefix.size() - 4, 'c') + ".jpg";
    ASSERT_EQ(fits.size(), 250u);
    ASSERT_EQ(tooLong.size(), 251u);
    ASSERT_EQ(longest.size(), 255u);

    addGridTile(fits, Cell{0, 0}, false);
    addGridTile(tooLong, Cell{1, 0}, false);
    addGridTile(longest, Cell{2, 0}, false);
    selectTileAt(10, 10);
    EXPECT_EQ(selectedTileAddress(true), fits + ":orig");
    selectTileAt(160, 10);
    EXPECT_EQ(selectedTileAddress(false), tooLong);
    EXPECT_EQ(selectedTileAddress(true), std::nullopt);
    selectTileAt(310, 10);
    EXPECT_EQ(selectedTileAddress(false), longest);
    EXPECT_EQ(selectedTileAddress(true), std::nullopt);
}

TEST_F(SelectionAddressTest, ATimelineTileCopiesItsRecordedOriginalWithinTheSameLimit) {
    Tile& tile = addGridTile("https://files.example/small/a.jpeg", Cell{0, 0}, false);
    tile.originalUrl = "https://files.example/original/a.jpeg";
    const std::string longest = "https://files.example/" + std::string(255 - 27, 'o') + ".jpeg";
    ASSERT_EQ(longest.size(), 255u);
    Tile& longTile = addGridTile("https://files.example/small/b.jpeg", Cell{1, 0}, false);
    longTile.originalUrl = longest;
    Tile& tooLongTile = addGridTile("https://files.example/small/c.jpeg", Cell{2, 0}, false);
    tooLongTile.originalUrl = longest + "x";

    selectTileAt(10, 10);
    EXPECT_EQ(selectedTileAddress(false), "https://files.example/small/a.jpeg");
    EXPECT_EQ(selectedTileAddress(true), "https://files.example/original/a.jpeg");
    selectTileAt(160, 10);
    EXPECT_EQ(selectedTileAddress(true), longest);
    selectTileAt(310, 10);
    EXPECT_EQ(selectedTileAddress(false), "https://files.example/small/c.jpeg");
    EXPECT_EQ(selectedTileAddress(true), std::nullopt);
}

}  // namespace
