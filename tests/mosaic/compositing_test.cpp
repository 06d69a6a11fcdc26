#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "grid_test_support.h"
#include "mosaic/raster/frame_surface.h"
#include "mosaic/wall/compositing.h"
#include "mosaic/wall/marks.h"
#include "mosaic/wall/selection.h"
#include "mosaic/wall/shell_hooks.h"
#include "mosaic/wall/tile_grid.h"
#include "settings/option_store.h"
#include "tests/support/mark_surfaces.h"

namespace {

using gridtest::addGridTile;
using gridtest::centreSample;
using gridtest::coordinateColour;
using gridtest::coordinatePicture;
using gridtest::queueSolidTile;

std::uint32_t at(const Surface& surface, std::int32_t x, std::int32_t y) {
    return pixelAt(surface, x, y).value_or(0xFFFFFFFFu);
}

class CompositingTest : public gridtest::MosaicTest {
  protected:
    void SetUp() override {
        MosaicTest::SetUp();
        createMarkSurfaces();
        rescaleGrid(755, 380);  // cells of 75 × 76
    }

    // What a cell shows when a mark lies over a tile of one colour: the mark's ring where
    // the centre-sampled mark pixel is not its key colour.
    static std::uint32_t expectedUnderMark(const Surface& mark, std::int32_t dx, std::int32_t dy,
                                           std::uint32_t below) {
        const std::uint32_t key = at(mark, 0, 0);
        const std::uint32_t sample = at(mark, centreSample(dx, kMarkSize, appState().tileWidth),
                                        centreSample(dy, kMarkSize, appState().tileHeight));
        return sample == key ? below : sample;
    }

    // Counts the pixels of the cell that differ from what the mark over a solid tile shows.
    static int cellMismatches(Cell cell, const Surface* mark, std::uint32_t tileColour) {
        const Rect r = cellRect(cell);
        int mismatches = 0;
        for (std::int32_t y = r.top; y < r.bottom; ++y) {
            for (std::int32_t x = r.left; x < r.right; ++x) {
                const std::uint32_t expected =
                    mark != nullptr ? expectedUnderMark(*mark, x - r.left, y - r.top, tileColour)
                                    : tileColour;
                mismatches += at(appState().backBuffer, x, y) != expected ? 1 : 0;
            }
        }
        return mismatches;
    }

    static void loadPinnedMarksOption(int value) {
        const auto file = std::filesystem::path(testing::TempDir()) / "compositing_options.txt";
        std::ofstream(file) << "kotei_render=" << value << "\n";
        loadOptions(file, OptionDefaults{1920, 1080});
        std::filesystem::remove(file);
    }
};

TEST(MarkSurface, HasAKeyRingAFrameRingAndAKeyInside) {
    const Surface mark = makeMarkSurface(kPinnedFrame, kPinnedKey);
    ASSERT_EQ(mark.width, 150);
    ASSERT_EQ(mark.height, 150);
    int frame = 0;
    for (std::int32_t y = 0; y < 150; ++y) {
        for (std::int32_t x = 0; x < 150; ++x) {
            const std::int32_t ring = std::min({x, y, 149 - x, 149 - y});
            const bool inFrame = ring >= 1 && ring <= 5;
            EXPECT_EQ(at(mark, x, y), inFrame ? kPinnedFrame : kPinnedKey) << x << "," << y;
            frame += inFrame ? 1 : 0;
        }
    }
    EXPECT_EQ(frame, 148 * 148 - 138 * 138);
}

TEST_F(CompositingTest, APendingQueueIsPlacedDrawnWithRedFramesAndReleased) {
    queueSolidTile("http://m.example/a.jpg", rgb(10, 20, 30));
    queueSolidTile("http://m.example/b.jpg", rgb(40, 50, 60));
    queueSolidTile("http://m.example/c.jpg", rgb(70, 80, 90));
    appState().tilesPending = 1;
    composeFrame(true);
    EXPECT_EQ(appState().tilesPending.load(), 0);
    EXPECT_TRUE(queuedTiles()->empty());
    const Surface& red = appState().newImageMark;
    EXPECT_EQ(cellMismatches(Cell{0, 0}, &red, rgb(10, 20, 30)), 0);
    EXPECT_EQ(cellMismatches(Cell{1, 0}, &red, rgb(40, 50, 60)), 0);
    EXPECT_EQ(cellMismatches(Cell{2, 0}, &red, rgb(70, 80, 90)), 0);
    EXPECT_EQ(cellMismatches(Cell{3, 0}, nullptr, kBlack), 0);
    // The ring is really there, just inside the cell's corner.
    EXPECT_EQ(at(appState().backBuffer, 1, 1), kNewImageFrame);
    EXPECT_EQ(at(appState().backBuffer, 37, 38), rgb(10, 20, 30));

    // A later frame with nothing new keeps those three red.
    composeFrame(true);
    EXPECT_EQ(cellMismatches(Cell{1, 0}, &red, rgb(40, 50, 60)), 0);
}

TEST_F(CompositingTest, WithoutTheMutexTheQueueWaitsButTheGridIsDrawn) {
    addGridTile("http://m.example/old.jpg", Cell{4, 4}, false, rgb(1, 2, 3));
    queueSolidTile("http://m.example/new.jpg", rgb(9, 9, 9));
    appState().tilesPending = 1;
    composeFrame(false);
    EXPECT_EQ(appState().tilesPending.load(), 1);
    EXPECT_EQ(queuedTiles()->size(), 1u);
    EXPECT_EQ(gridTiles()->size(), 1u);
    EXPECT_EQ(cellMismatches(Cell{4, 4}, nullptr, rgb(1, 2, 3)), 0);
    EXPECT_EQ(cellMismatches(Cell{0, 0}, nullptr, kBlack), 0);
}

TEST_F(CompositingTest, TilesAreSqueezedIntoTheirCellsFromTheFullSizeImage) {
    Tile tile;
    tile.name = "http://m.example/big.jpg";
    tile.rect = cellRect(Cell{2, 1});
    tile.replaceable = 1;
    ASSERT_TRUE(makeImageCanvas(tile, coordinatePicture(1200, 800)));
    gridTiles()->push_back(std::move(tile));
    composeFrame(false);
    const Rect r = cellRect(Cell{2, 1});
    int mismatches = 0;
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
        for (std::int32_t x = r.left; x < r.right; ++x) {
            const std::uint32_t expected = coordinateColour(centreSample(x - r.left, 1200, 75),
                                                            centreSample(y - r.top, 800, 76));
            mismatches += at(appState().backBuffer, x, y) != expected ? 1 : 0;
        }
    }
    EXPECT_EQ(mismatches, 0);
    // Outside the grid region the back buffer is black.
    EXPECT_EQ(at(appState().backBuffer, 752, 10), kBlack);
}

TEST_F(CompositingTest, GreenFramesOnlyWhenPinnedMarksAreSwitchedOn) {
    addGridTile("http://m.example/pinned.jpg", Cell{3, 2}, true, rgb(5, 5, 5));
    addGridTile("http://m.example/plain.jpg", Cell{4, 2}, false, rgb(6, 6, 6));
    composeFrame(false);  // no options at all
    EXPECT_EQ(cellMismatches(Cell{3, 2}, nullptr, rgb(5, 5, 5)), 0);

    loadPinnedMarksOption(0);
    composeFrame(false);
    EXPECT_EQ(cellMismatches(Cell{3, 2}, nullptr, rgb(5, 5, 5)), 0);

    loadPinnedMarksOption(1);
    composeFrame(false);
    EXPECT_EQ(cellMismatches(Cell{3, 2}, &appState().pinnedMark, rgb(5, 5, 5)), 0);
    EXPECT_EQ(cellMismatches(Cell{4, 2}, nullptr, rgb(6, 6, 6)), 0);
}

TEST_F(CompositingTest, TheMarkKeyColourIsReadFromTheMarkOnEveryDraw) {
    // A mark whose key differs from the made ones, as a loaded bitmap might have.
    appState().newImageMark = makeMarkSurface(rgb(1, 1, 1), rgb(0, 0, 255));
    queueSolidTile("http://m.example/a.jpg", rgb(100, 100, 100));
    appState().tilesPending = 1;
    composeFrame(true);
    EXPECT_EQ(at(appState().backBuffer, 1, 1), rgb(1, 1, 1));
    EXPECT_EQ(at(appState().backBuffer, 30, 30), rgb(100, 100, 100));
}

TEST_F(CompositingTest, TheYellowFrameFollowsTheOpenContextMenu) {
    int repaints = 0;
    setShellHooks(ShellHooks{[&repaints] { ++repaints; }, nullptr});
    addGridTile("http://m.example/a.jpg", Cell{0, 0}, false, rgb(7, 7, 7));
    addGridTile("http://m.example/b.jpg", Cell{1, 0}, true, rgb(8, 8, 8));

    EXPECT_EQ(selectTileAt(80, 10), 1);  // pinned
    EXPECT_EQ(repaints, 1);
    EXPECT_EQ(selectTileAt(10, 10), 0);
    ASSERT_NE(selectedTile(), nullptr);
    EXPECT_EQ(selectedTile()->name, "http://m.example/a.jpg");
    EXPECT_EQ(selectedTile()->shown, 1);
    EXPECT_EQ(selectedTile()->rect, (Rect{0, 0, 4, 4}));
    composeFrame(false);
    EXPECT_EQ(cellMismatches(Cell{0, 0}, &appState().selectionMark, rgb(7, 7, 7)), 0);
    EXPECT_EQ(at(appState().backBuffer, 1, 1), kSelectionFrame);

    endSelection();
    EXPECT_EQ(repaints, 3);
    EXPECT_EQ(selectedTile()->shown, 0);
    composeFrame(false);
    EXPECT_EQ(cellMismatches(Cell{0, 0}, nullptr, rgb(7, 7, 7)), 0);

    // A click on an empty cell keeps the copy.
    EXPECT_EQ(selectTileAt(700, 300), 0);
    ASSERT_NE(selectedTile(), nullptr);
    EXPECT_EQ(selectedTile()->name, "http://m.example/a.jpg");
}

TEST_F(CompositingTest, AReplacedSelectedTileKeepsItsCopyButLosesTheFrame) {
    addGridTile("http://m.example/a.jpg", Cell{0, 0}, false, rgb(7, 7, 7));
    selectTileAt(5, 5);
    releaseGrid();
    ASSERT_NE(selectedTile(), nullptr);
    EXPECT_EQ(selectedTile()->name, "http://m.example/a.jpg");
    EXPECT_FALSE(selectedTile()->surface.has_value()) << "the copy holds no picture";
    composeFrame(false);
    EXPECT_EQ(cellMismatches(Cell{0, 0}, nullptr, kBlack), 0);
    releaseSelection();
    EXPECT_EQ(selectedTile(), nullptr);
}

TEST_F(CompositingTest, TheGridRegionIsStretchedOverTheWholeClient) {
    // Cells of 75 × 76 leave a 5-pixel black strip at the right of the 755 × 380 back buffer.
    for (std::int32_t i = 0; i < kGridCells; ++i) {
        addGridTile("http://m.example/" + std::to_string(i) + ".jpg",
                    Cell{i % kGridColumns, i / kGridColumns}, false,
                    rgb(static_cast<std::uint8_t>(i + 1), 0, 0));
    }
    composeFrame(false);
    Surface client;
    presentFrame(client, 755, 380);
    ASSERT_EQ(client.width, 755);
    ASSERT_EQ(client.height, 380);
    int mismatches = 0;
    for (std::int32_t y = 0; y < 380; ++y) {
        for (std::int32_t x = 0; x < 755; ++x) {
            const std::uint32_t expected =
                at(appState().backBuffer, centreSample(x, 750, 755), centreSample(y, 380, 380));
            mismatches += at(client, x, y) != expected ? 1 : 0;
        }
    }
    EXPECT_EQ(mismatches, 0);
    // The last client column shows the last grid column, not the black strip.
    EXPECT_EQ(at(client, 754, 379), rgb(50, 0, 0));
    EXPECT_EQ(at(client, 0, 0), rgb(1, 0, 0));
}

TEST_F(CompositingTest, AtTheGridsOwnSizeEveryFrameIsWholeEvenFromAHandedOverBuffer) {
    rescaleGrid(750, 380);  // cells of 75 × 76 fill the client exactly
    addGridTile("http://m.example/a.jpg", Cell{0, 0}, false, rgb(1, 2, 3));
    Tile& moving = addGridTile("http://m.example/b.jpg", Cell{5, 2}, false, rgb(4, 5, 6));
    moving.newMark = kNewMarkSet;
    Surface client;
    for (int frame = 0; frame < 3; ++frame) {
        composeFrame(false);
        const Surface composed = appState().backBuffer;
        presentFrame(client, 750, 380);
        ASSERT_TRUE(client == composed) << "frame " << frame;
        EXPECT_EQ(at(client, 1, 1), rgb(1, 2, 3));
        EXPECT_EQ(at(client, 100, 300), kBlack);
        // What stood in a cell that is empty now must not come back with an old buffer.
        if (frame == 0) {
            gridTiles()->pop_back();
        }
        EXPECT_EQ(at(client, 5 * 75 + 30, 2 * 76 + 30), frame == 0 ? rgb(4, 5, 6) : kBlack);
    }
}

TEST_F(CompositingTest, AClientPastAnyScreenGetsNoFrameAndStillPaints) {
    addGridTile("http://m.example/a.jpg", Cell{0, 0}, true, rgb(7, 7, 7));
    rescaleGrid(100000, 100000);
    EXPECT_TRUE(appState().backBuffer.empty());
    EXPECT_EQ(appState().backBufferWidth, 100000);
    EXPECT_EQ(appState().tileWidth, 10000);
    EXPECT_EQ(appState().tileHeight, 20000);
    EXPECT_EQ(gridTiles()->front().rect, (Rect{0, 0, 10000, 20000}));
    EXPECT_EQ(selectTileAt(5, 5), 1);
    composeFrame(true);
    Surface client = Surface::filled(4, 4);
    presentFrame(client, 100000, 100000);
    EXPECT_TRUE(client.empty());

    // Back to a real size, the wall is drawn again.
    rescaleGrid(755, 380);
    composeFrame(true);
    presentFrame(client, 755, 380);
    EXPECT_EQ(at(client, 37, 38), rgb(7, 7, 7));
}

TEST(FrameSurface, IsBlackUpToThePictureBoundAndEmptyBeyondIt) {
    const Surface frame = frameSurface(755, 380);
    ASSERT_EQ(frame.width, 755);
    ASSERT_EQ(frame.height, 380);
    EXPECT_EQ(at(frame, 754, 379), kBlack);
    EXPECT_TRUE(frameSurface(0, 380).empty());
    EXPECT_TRUE(frameSurface(755, -1).empty());
    EXPECT_TRUE(frameSurface(8001, 8000).empty());
    EXPECT_TRUE(frameSurface(2147483647, 2147483647).empty());
}

}  // namespace
