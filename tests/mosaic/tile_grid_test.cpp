#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

// The address-space limit below would leave a sanitizer's shadow memory no room.
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define TILVANE_CAN_LIMIT_MEMORY 1
#endif

#if defined(TILVANE_CAN_LIMIT_MEMORY)
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "grid_test_support.h"
#include "mosaic/raster/picture_decoder.h"
#include "mosaic/wall/compositing.h"
#include "mosaic/wall/tile_grid.h"
#include "tests/support/app_state_reset.h"
#include "tests/support/test_jpeg.h"

namespace {

using gridtest::addGridTile;
using gridtest::cellsOfGrid;
using gridtest::queueSolidTile;

class TileGridTest : public gridtest::MosaicTest {};

std::string url(int i) {
    return "http://pbs.example/media/img" + std::to_string(i) + ".jpg";
}

void placeOne(int i) {
    queueSolidTile(url(i), 0x010101u * static_cast<std::uint32_t>(i));
    placeQueuedTiles();
    releaseQueue();
}

TEST_F(TileGridTest, FillsCellsInRowMajorOrderAndWrapsAfterTheLastCell) {
    for (int i = 0; i < 11; ++i) {
        queueSolidTile(url(i), 0u);
    }
    placeQueuedTiles();
    const std::vector<Cell> cells = cellsOfGrid();
    ASSERT_EQ(cells.size(), 11u);
    EXPECT_EQ(cells[0], (Cell{0, 0}));
    EXPECT_EQ(cells[1], (Cell{1, 0}));
    EXPECT_EQ(cells[9], (Cell{9, 0}));
    EXPECT_EQ(cells[10], (Cell{0, 1}));
    EXPECT_EQ(appState().cursorColumn, 0);
    EXPECT_EQ(appState().cursorRow, 1);
    EXPECT_TRUE(queuedTiles()->empty());
    for (const Tile& tile : *gridTiles()) {
        EXPECT_EQ(tile.replaceable, 1);
        EXPECT_EQ(tile.newMark, kNewMarkSet);
        EXPECT_EQ(tile.rect.width(), 150);
    }

    appState().cursorColumn = 9;
    appState().cursorRow = 4;
    EXPECT_EQ(findReplaceableCell(), (Cell{0, 0}));
}

TEST_F(TileGridTest, ANewImageReplacesTheOldestOrdinaryTileOfAFullGrid) {
    for (int i = 0; i < kGridCells; ++i) {
        placeOne(i);
    }
    ASSERT_EQ(gridTiles()->size(), 50u);
    placeOne(50);
    EXPECT_EQ(gridTiles()->size(), 50u);
    EXPECT_EQ(findCanvas(*gridTiles(), url(0)), nullptr);
    const Tile* newest = tileAt(1, 1);
    ASSERT_NE(newest, nullptr);
    EXPECT_EQ(newest->name, url(50));
    // Only the tile of the latest pass keeps its new-image mark.
    int marked = 0;
    for (const Tile& tile : *gridTiles()) {
        marked += tile.newMark == kNewMarkSet ? 1 : 0;
    }
    EXPECT_EQ(marked, 1);
}

TEST_F(TileGridTest, PinnedCellsAreSkipped) {
    addGridTile(url(100), Cell{0, 0}, true);
    addGridTile(url(101), Cell{1, 0}, true);
    appState().cursorColumn = 9;
    appState().cursorRow = 4;
    EXPECT_EQ(findReplaceableCell(), (Cell{2, 0}));
    // Looking does not move the cursor.
    EXPECT_EQ(appState().cursorColumn, 9);
    placeOne(1);
    EXPECT_EQ(cellsOfGrid().back(), (Cell{2, 0}));
    EXPECT_NE(findCanvas(*gridTiles(), url(100)), nullptr);
    EXPECT_NE(findCanvas(*gridTiles(), url(101)), nullptr);
}

TEST_F(TileGridTest, WithEveryCellPinnedNothingIsPlacedAndMarksAreCleared) {
    for (int i = 0; i < kGridCells; ++i) {
        Tile& tile = addGridTile(url(i), Cell{i % kGridColumns, i / kGridColumns}, true);
        tile.newMark = kNewMarkSet;
    }
    EXPECT_FALSE(findReplaceableCell().has_value());
    queueSolidTile(url(99), 0u);
    placeQueuedTiles();
    EXPECT_EQ(gridTiles()->size(), 50u);
    EXPECT_EQ(queuedTiles()->size(), 1u);
    for (const Tile& tile : *gridTiles()) {
        EXPECT_EQ(tile.newMark, 0);
        EXPECT_EQ(tile.replaceable, 0);
    }
    releaseQueue();
    EXPECT_TRUE(queuedTiles()->empty());
}

TEST_F(TileGridTest, AnEmptyQueueKeepsThePreviousMarks) {
    queueSolidTile(url(1), 0u);
    queueSolidTile(url(2), 0u);
    queueSolidTile(url(3), 0u);
    placeQueuedTiles();
    releaseQueue();
    placeQueuedTiles();
    for (const Tile& tile : *gridTiles()) {
        EXPECT_EQ(tile.newMark, kNewMarkSet);
    }
}

TEST_F(TileGridTest, APinnedTileSharingItsCellWithAnOrdinaryOneIsNeverReplaced) {
    // Two list lines naming one cell, the later tile unpinned since: the cell is replaceable,
    // but only the ordinary tile may give way.
    addGridTile(url(1), Cell{0, 0}, true);
    addGridTile(url(2), Cell{0, 0}, false);
    placeOne(3);
    ASSERT_NE(findCanvas(*gridTiles(), url(1)), nullptr);
    EXPECT_EQ(findCanvas(*gridTiles(), url(1))->replaceable, 0);
    EXPECT_EQ(findCanvas(*gridTiles(), url(2)), nullptr);
    EXPECT_EQ(gridTiles()->back().name, url(3));
}

TEST_F(TileGridTest, TheLastTileCoveringACellDecidesWhetherItIsReplaceable) {
    addGridTile(url(1), Cell{0, 0}, false);
    addGridTile(url(2), Cell{0, 0}, true);
    EXPECT_EQ(findReplaceableCell(), (Cell{1, 0}));
}

TEST_F(TileGridTest, HitTestsIncludeBothEdgesAndTheFirstTileWins) {
    addGridTile(url(1), Cell{0, 0}, false);
    addGridTile(url(2), Cell{1, 0}, false);
    ASSERT_NE(tileAt(150, 150), nullptr);
    EXPECT_EQ(tileAt(150, 150)->name, url(1));
    EXPECT_EQ(tileAt(151, 0)->name, url(2));
    EXPECT_EQ(tileAt(301, 0), nullptr);
    EXPECT_EQ(tileAt(0, 151), nullptr);
}

TEST_F(TileGridTest, KnownUrlsAreSubstringsOfGridOrQueuedNames) {
    addGridTile("http://a.example/media/abc.jpg", Cell{0, 0}, false);
    queueSolidTile("http://a.example/media/queued.jpg", 0u);
    EXPECT_TRUE(isKnownUrl("http://a.example/media/abc.jpg"));
    EXPECT_TRUE(isKnownUrl("media/abc"));
    EXPECT_TRUE(isKnownUrl("http://a.example/media/queued.jpg"));
    EXPECT_TRUE(isKnownUrl(""));
    EXPECT_FALSE(isKnownUrl("http://a.example/media/abcd.jpg"));
}

TEST_F(TileGridTest, DuplicatesNeedTheSameByteSizeAndPixelSize) {
    queueSolidTile(url(1), 0u, 30, 20, 5000);
    EXPECT_TRUE(isDuplicateImage(5000, 30, 20));
    EXPECT_FALSE(isDuplicateImage(5001, 30, 20));
    EXPECT_FALSE(isDuplicateImage(5000, 20, 30));
    placeQueuedTiles();
    releaseQueue();
    EXPECT_TRUE(isDuplicateImage(5000, 30, 20));

    // A tile without an image canvas never matches.
    Tile bare;
    bare.name = url(2);
    bare.byteSize = 777;
    gridTiles()->push_back(std::move(bare));
    EXPECT_FALSE(isDuplicateImage(777, 0, 0));
}

TEST_F(TileGridTest, OverlongNamesAndEmptyPicturesAreNotQueued) {
    const std::string longest(kMaxCanvasNameBytes, 'a');
    EXPECT_TRUE(enqueueTile(longest, 1, Surface::filled(2, 2), {1}));
    EXPECT_FALSE(enqueueTile(longest + "b", 2, Surface::filled(2, 2), {1}));
    EXPECT_FALSE(enqueueTile(url(3), 3, Surface{}, {1}));
    ASSERT_EQ(queuedTiles()->size(), 1u);
    EXPECT_EQ(queuedTiles()->front().name, longest);

    const Tile& queued = queuedTiles()->front();
    EXPECT_EQ(queued.rect, Rect{});
    EXPECT_EQ(queued.replaceable, 0);
    const Canvas* image = imageCanvasOf(queued);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->rect, (Rect{0, 0, 2, 2}));
}

TEST_F(TileGridTest, WithoutGroupCanvasesNothingIsQueuedOrFound) {
    resetAppState();
    EXPECT_FALSE(enqueueTile(url(1), 1, Surface::filled(2, 2), {1}));
    EXPECT_EQ(tileAt(1, 1), nullptr);
    EXPECT_FALSE(isKnownUrl(url(1)));
    placeQueuedTiles();
    releaseQueue();
    releaseGrid();
    rescaleGrid(100, 50);
    EXPECT_EQ(appState().tileWidth, 10);
}

TEST_F(TileGridTest, RescalingKeepsColumnsAndRows) {
    rescaleGrid(640, 480);
    EXPECT_EQ(appState().tileWidth, 64);
    EXPECT_EQ(appState().tileHeight, 96);
    EXPECT_EQ(appState().backBuffer.width, 640);
    EXPECT_EQ(appState().backBufferHeight, 480);

    Tile& tile = addGridTile(url(1), Cell{2, 2}, false);
    EXPECT_EQ(tile.rect, (Rect{128, 192, 192, 288}));
    queueSolidTile(url(2), 0u);
    rescaleGrid(1280, 960);
    EXPECT_EQ(tile.rect, (Rect{256, 384, 384, 576}));
    EXPECT_EQ(queuedTiles()->front().rect, Rect{});

    // A client too small for the grid keeps cells of one pixel, and the cells survive the
    // way back.
    rescaleGrid(5, 3);
    EXPECT_EQ(appState().tileWidth, 1);
    EXPECT_EQ(appState().tileHeight, 1);
    rescaleGrid(0, -4);
    EXPECT_TRUE(appState().backBuffer.empty());
    rescaleGrid(750, 380);
    EXPECT_EQ(tile.rect, (Rect{150, 152, 225, 228}));
}

TEST_F(TileGridTest, ReplaceableCountStaysBetweenOneAndFifty) {
    unpinTileCount();
    EXPECT_EQ(appState().replaceableCount, 50);
    for (int i = 0; i < 49; ++i) {
        pinTileCount();
    }
    EXPECT_EQ(appState().replaceableCount, 1);
    pinTileCount();
    EXPECT_EQ(appState().replaceableCount, 1);
    unpinTileCount();
    EXPECT_EQ(appState().replaceableCount, 2);
}

}  // namespace

namespace {

class NaturalPictureTest : public gridtest::MosaicTest {};

TEST_F(NaturalPictureTest, IsACopyOfTheTilesImageThatOutlivesTheTile) {
    Tile& tile = addGridTile("http://pbs.example/media/natural.jpg", Cell{0, 0}, false);
    const std::vector<std::uint8_t> jpeg = testjpeg::solid(7, 5, 0x336699);
    tile.imageBytes = jpeg;
    const std::optional<Surface> decoded = decodePicture(jpeg);
    ASSERT_TRUE(decoded.has_value());
    std::optional<Surface> picture = naturalPicture(tile);
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(*picture, *decoded);

    // A search that replaces the tile leaves the copy as it was.
    appState().cursorColumn = -1;
    gridtest::queueSolidTile("http://pbs.example/media/newer.jpg", 0xFF0000u, 7, 5);
    placeQueuedTiles();
    ASSERT_EQ(findCanvas(*gridTiles(), "http://pbs.example/media/natural.jpg"), nullptr);
    EXPECT_EQ(*picture, *decoded);
}

#if defined(TILVANE_CAN_LIMIT_MEMORY)
// Leaves the process's address space 64 MiB beyond what it uses now.
void limitMemoryToWhatIsUsed() {
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t cap =
        static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (64u << 20);
    const rlimit limit{cap, cap};
    setrlimit(RLIMIT_AS, &limit);
}

// The largest picture the bounds accept, decoded in a child process whose address space has
// no room left for its pixels: the decode's std::bad_alloc must not escape.
TEST_F(NaturalPictureTest, IsNoneWhenThePixelsFindNoMemory) {
    Tile tile;
    tile.imageBytes = testjpeg::solid(8000, 8000, 0x336699);
    EXPECT_EXIT(
        {
            limitMemoryToWhatIsUsed();
            std::exit(naturalPicture(tile).has_value() ? 1 : 0);
        },
        testing::ExitedWithCode(0), "");
}
#endif

TEST_F(NaturalPictureTest, IsNoneForATileWithoutAPicture) {
    Tile bare;
    bare.name = "http://pbs.example/media/bare.jpg";
    EXPECT_EQ(naturalPicture(bare), std::nullopt);

    bare.imageBytes = {0xFF, 0xD8, 1, 2};  // bytes that are no picture
    EXPECT_EQ(naturalPicture(bare), std::nullopt);
}

}  // namespace
