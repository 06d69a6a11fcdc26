#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>
#include <vector>

#include "grid_test_support.h"
#include "mosaic/raster/picture_decoder.h"
#include "mosaic/wall/cell_copies.h"
#include "mosaic/wall/compositing.h"
#include "mosaic/wall/shell_hooks.h"
#include "mosaic/wall/tile_grid.h"
#include "mosaic/wall/tile_look.h"
#include "settings/wall_options.h"
#include "tests/support/mark_surfaces.h"
#include "tests/support/test_jpeg.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Detailed enough that a wrong source pixel shows.
Bytes noisyJpeg(int width, int height, int seed) {
    return testjpeg::encode(width, height, [seed](int x, int y) {
        return static_cast<std::uint32_t>(((x * 37 + seed) ^ (y * 91)) & 0xFF) << 16 |
               static_cast<std::uint32_t>((x * 7 + y * 3 + seed) & 0xFF) << 8 |
               static_cast<std::uint32_t>((x * y + seed * 13) & 0xFF);
    });
}

std::string url(int i) {
    return "http://pbs.example/media/w" + std::to_string(i) + ".jpg";
}

class CellCopiesTest : public gridtest::MosaicTest {
  protected:
    void SetUp() override {
        MosaicTest::SetUp();
        createMarkSurfaces();
        setShellHooks(ShellHooks{[this] { ++repaints_; }, nullptr});
    }

    // Queues and places pictures of different natural sizes, as a search cycle would.
    void fillWall(int count) {
        const int sizes[][2] = {{300, 200}, {61, 43}, {97, 155}, {16, 16}, {250, 90}};
        for (int i = 0; i < count; ++i) {
            const Bytes jpeg = noisyJpeg(sizes[i % 5][0], sizes[i % 5][1], i);
            const auto picture = decodePicture(jpeg);
            ASSERT_TRUE(picture.has_value());
            ASSERT_TRUE(
                enqueueTile(url(i), static_cast<std::int32_t>(jpeg.size()), *picture, jpeg));
            naturals_.push_back(*picture);
        }
        appState().tilesPending = 1;
        composeFrame(true);
    }

    // Cells whose pixels differ from the natural picture stretched straight into the cell
    // (tiles only: the marks are another matter).
    int cellsUnlikeTheDirectStretch() {
        fillSurface(appState().backBuffer, appState().backBuffer.bounds(), kBlack);
        drawTiles();
        int wrong = 0;
        for (const Tile& tile : *gridTiles()) {
            const auto index = static_cast<std::size_t>(std::stoi(tile.name.substr(26)));
            Surface expected = appState().backBuffer;
            stretchSurface(naturals_[index], naturals_[index].bounds(), expected, tile.rect);
            for (std::int32_t y = tile.rect.top; y < tile.rect.bottom; ++y) {
                for (std::int32_t x = tile.rect.left; x < tile.rect.right; ++x) {
                    if (pixelAt(expected, x, y) != pixelAt(appState().backBuffer, x, y)) {
                        ++wrong;
                        y = tile.rect.bottom;
                        break;
                    }
                }
            }
        }
        return wrong;
    }

    std::vector<Surface> naturals_;
    std::atomic<int> repaints_{0};
};

TEST_F(CellCopiesTest, TheWallShowsExactlyTheStretchedNaturalPicturesBeforeAndAfterRescales) {
    rescaleGrid(755, 380);
    fillWall(12);
    ASSERT_EQ(gridTiles()->size(), 12u);
    EXPECT_EQ(cellsUnlikeTheDirectStretch(), 0);
    for (const Tile& tile : *gridTiles()) {
        ASSERT_TRUE(tile.surface.has_value());
        EXPECT_EQ(tile.surface->width, 75) << "the tile holds a cell-sized copy only";
        EXPECT_EQ(tile.surface->height, 76);
    }

    // Larger cells than some pictures, then smaller, then back.
    for (const auto& client : {std::pair{1920, 1080}, std::pair{333, 97}, std::pair{755, 380}}) {
        rescaleGrid(client.first, client.second);
        waitForCellCopies();
        EXPECT_EQ(cellsUnlikeTheDirectStretch(), 0) << client.first << "x" << client.second;
    }
    EXPECT_GE(repaints_.load(), 1) << "finished copies ask for a repaint";
}

TEST_F(CellCopiesTest, RightAfterARescaleTheOldCopiesAreDrawnStretched) {
    rescaleGrid(750, 375);
    fillWall(3);
    const Tile& first = gridTiles()->front();
    const Surface oldCopy = *first.surface;
    rescaleGrid(1500, 750);
    // Drawing alone installs nothing, so this is the frame before any exact copy.
    fillSurface(appState().backBuffer, appState().backBuffer.bounds(), kBlack);
    drawTiles();
    Surface expected = Surface::filled(1500, 750);
    stretchSurface(oldCopy, oldCopy.bounds(), expected, first.rect);
    int wrong = 0;
    for (std::int32_t y = first.rect.top; y < first.rect.bottom; ++y) {
        for (std::int32_t x = first.rect.left; x < first.rect.right; ++x) {
            wrong += pixelAt(expected, x, y) != pixelAt(appState().backBuffer, x, y) ? 1 : 0;
        }
    }
    EXPECT_EQ(wrong, 0);
    waitForCellCopies();
    EXPECT_EQ(first.surface->width, 150);
    EXPECT_EQ(first.surface->height, 150);
}

TEST_F(CellCopiesTest, ALaterRescaleSupersedesAndALeavingTileGetsNoCopy) {
    rescaleGrid(750, 375);
    fillWall(5);
    // A live resize: several sizes in a row, only the last one counts.
    for (int width = 800; width <= 1400; width += 100) {
        rescaleGrid(width, width / 2);
    }
    // The tile of cell (0, 0) is replaced while its copy may still be on the way.
    appState().cursorColumn = -1;
    const Bytes jpeg = noisyJpeg(40, 40, 99);
    const auto picture = decodePicture(jpeg);
    ASSERT_TRUE(picture.has_value());
    naturals_.resize(100);
    naturals_[99] = *picture;
    ASSERT_TRUE(enqueueTile(url(99), static_cast<std::int32_t>(jpeg.size()), *picture, jpeg));
    appState().tilesPending = 1;
    composeFrame(true);
    ASSERT_EQ(findCanvas(*gridTiles(), url(0)), nullptr);

    waitForCellCopies();
    EXPECT_EQ(cellsUnlikeTheDirectStretch(), 0);
    for (const Tile& tile : *gridTiles()) {
        EXPECT_EQ(tile.surface->width, 140);
        EXPECT_EQ(tile.surface->height, 140);
    }
}

TEST_F(CellCopiesTest, QueuedTilesTakeThePublishedCellSizeAndKeepTheirNaturalSize) {
    rescaleGrid(640, 480);
    const Bytes jpeg = noisyJpeg(300, 200, 1);
    const auto picture = decodePicture(jpeg);
    ASSERT_TRUE(picture.has_value());
    ASSERT_TRUE(enqueueTile(url(1), static_cast<std::int32_t>(jpeg.size()), *picture, jpeg));
    const Tile& queued = queuedTiles()->front();
    EXPECT_EQ(queued.surface->bounds(), (Rect{0, 0, 64, 96}));
    EXPECT_EQ(imageCanvasOf(queued)->rect, (Rect{0, 0, 300, 200}));
    EXPECT_TRUE(isDuplicateImage(static_cast<std::int32_t>(jpeg.size()), 300, 200));
    EXPECT_NE(queued.serial, 0u);

    // The natural picture comes back from the bytes, whole.
    const auto natural = naturalPicture(queued);
    ASSERT_TRUE(natural.has_value());
    EXPECT_TRUE(*natural == *picture);
    EXPECT_FALSE(naturalPicture(Tile{}).has_value());
}

TEST_F(CellCopiesTest, TilesWhoseBytesCannotBeDecodedKeepTheirStretchedCopy) {
    rescaleGrid(750, 375);
    gridtest::addGridTile(url(1), Cell{0, 0}, false, rgb(9, 8, 7));  // bytes are no JPEG
    rescaleGrid(1500, 750);
    waitForCellCopies();
    composeFrame(false);
    EXPECT_EQ(pixelAt(appState().backBuffer, 149, 149), rgb(9, 8, 7));
    EXPECT_EQ(pixelAt(appState().backBuffer, 150, 150), kBlack);
}

}  // namespace

TEST_F(CellCopiesTest, ACopyHeldInFlightAcrossARescaleNeverLandsOnATile) {
    rescaleGrid(750, 375);
    fillWall(1);
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> calls{0};
    setCellCopyGate([&] {
        if (calls++ == 0) {
            entered.set_value();
            released.wait();
        }
    });
    rescaleGrid(1500, 750);  // a 150 × 150 copy starts and is held
    entered.get_future().wait();
    rescaleGrid(750, 375);  // back: the tile's own copy fits again, nothing more is asked
    release.set_value();
    waitForCellCopies();
    composeFrame(false);
    const Tile& tile = gridTiles()->front();
    EXPECT_EQ(tile.surface->bounds(), (Rect{0, 0, 75, 75}));
    EXPECT_EQ(cellsUnlikeTheDirectStretch(), 0);
    EXPECT_EQ(calls.load(), 1);
}

TEST_F(CellCopiesTest, AChangedTileLookRemakesEveryCopyInTheNewLookAroundItsFocalPoint) {
    rescaleGrid(755, 380);
    fillWall(6);
    gridTiles()->front().origin.focus = std::pair{-1.0f, 1.0f};
    for (const auto& [fit, filter] : {std::pair{1, 0}, std::pair{1, 1}, std::pair{0, 1}}) {
        setWallOption(WallOption::TileFit, fit);
        setWallOption(WallOption::TileFilter, filter);
        remakeCellCopies();
        waitForCellCopies();
        for (const Tile& tile : *gridTiles()) {
            // A smooth copy may come from a reduced decoding: the copy thread's own decoder.
            const auto expected = decodePictureScaled(
                tile.imageBytes, 75, 76, CellLook{fit == 1, filter == 1, tile.origin.focus});
            ASSERT_TRUE(expected.has_value());
            EXPECT_EQ(tile.copyLook, chosenTileLook());
            EXPECT_TRUE(*tile.surface == expected->picture) << fit << filter << " " << tile.name;
        }
    }
    // Tiles the worker queues afterwards are made in the chosen look straight away.
    const Bytes jpeg = noisyJpeg(120, 40, 7);
    const auto picture = decodePicture(jpeg);
    ASSERT_TRUE(picture.has_value());
    ASSERT_TRUE(enqueueTile(url(7), static_cast<std::int32_t>(jpeg.size()), *picture, jpeg));
    EXPECT_TRUE(*queuedTiles()->back().surface ==
                makeCellCopy(*picture, 75, 76, CellLook{false, true, {}}))
        << "the worker averages the natural picture it holds";
}
