#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "grid_test_support.h"
#include "mosaic/raster/picture_decoder.h"
#include "mosaic/wall/compositing.h"
#include "mosaic/wall/pinned_tiles.h"
#include "mosaic/wall/selection.h"
#include "mosaic/wall/shell_hooks.h"
#include "mosaic/wall/tile_grid.h"
#include "settings/wall_options.h"
#include "tests/support/app_state_reset.h"
#include "tests/support/test_jpeg.h"

namespace fs = std::filesystem;

namespace {

using gridtest::cellsOfGrid;

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> readBytes(const fs::path& path) {
    const std::string text = readText(path);
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

class PinnedTilesTest : public gridtest::MosaicTest {
  protected:
    void SetUp() override {
        MosaicTest::SetUp();
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        root_ = fs::path(testing::TempDir()) / ("tilvane_pins_" + std::string(info->name()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "txts");
        fs::create_directories(root_ / "kotei_tiles" / "olds");
        appState().workingRoot = root_;
        setShellHooks(ShellHooks{nullptr, [this] { ++saveErrors_; }});
    }
    void TearDown() override {
        MosaicTest::TearDown();
        fs::remove_all(root_);
    }

    // A decodable image in a grid cell, selected as by a right-click.
    Tile& placeImage(const std::string& url, Cell cell, std::uint32_t colour = rgb(0, 128, 255)) {
        const auto jpeg = testjpeg::solid(16, 8, colour);
        Tile tile;
        tile.name = url;
        tile.rect = cellRect(cell);
        tile.replaceable = 1;
        tile.byteSize = static_cast<std::int32_t>(jpeg.size());
        tile.imageBytes = jpeg;
        EXPECT_TRUE(makeImageCanvas(tile, Surface::filled(16, 8, colour)));
        gridTiles()->push_back(std::move(tile));
        return gridTiles()->back();
    }

    void rightClickAndPin(const Tile& tile) {
        selectTileAt(tile.rect.left + 1, tile.rect.top + 1);
        endSelection();
        togglePin();
    }

    // Start-up again with the files on disk.
    void restart(std::int32_t clientWidth, std::int32_t clientHeight) {
        resetAppState();
        appState().workingRoot = root_;
        createGroupCanvases();
        loadPinnedTiles(pinnedListPath());
        rescaleGrid(clientWidth, clientHeight);
    }

    fs::path root_;
    int saveErrors_ = 0;
};

TEST_F(PinnedTilesTest, PinningWritesTheImageAndTheListLine) {
    rescaleGrid(750, 375);  // cells of 75 × 75
    Tile& tile = placeImage("http://pbs.example/media/abc.jpg", Cell{3, 2});
    const std::vector<std::uint8_t> bytes = tile.imageBytes;
    rightClickAndPin(tile);

    EXPECT_EQ(tile.replaceable, 0);
    EXPECT_EQ(appState().replaceableCount, 49);
    EXPECT_EQ(readBytes(root_ / "kotei_tiles" / "abc.jpg"), bytes);
    EXPECT_EQ(readText(pinnedListPath()), "name=http://pbs.example/media/abc.jpg,x=3,y=2\n");
    EXPECT_FALSE(fs::exists(root_ / "txts" / "kotei_jpgs.txt.tmp"));
    EXPECT_EQ(saveErrors_, 0);
    EXPECT_EQ(findReplaceableCell(), (Cell{0, 0}));
}

TEST_F(PinnedTilesTest, PinnedTilesComeBackInTheirCellsAfterARestart) {
    rescaleGrid(640, 480);  // cells of 64 × 96
    rightClickAndPin(placeImage("http://pbs.example/media/one.jpg", Cell{2, 2}, rgb(255, 0, 0)));
    rightClickAndPin(placeImage("http://pbs.example/media/two.jpg", Cell{9, 4}, rgb(0, 0, 255)));
    placeImage("http://pbs.example/media/plain.jpg", Cell{0, 0});
    EXPECT_EQ(readText(pinnedListPath()),
              "name=http://pbs.example/media/one.jpg,x=2,y=2\n"
              "name=http://pbs.example/media/two.jpg,x=9,y=4\n");

    restart(640, 480);
    ASSERT_EQ(gridTiles()->size(), 2u);
    const Tile& one = gridTiles()->front();
    EXPECT_EQ(one.name, "http://pbs.example/media/one.jpg");
    EXPECT_EQ(one.rect, (Rect{128, 192, 192, 288}));
    EXPECT_EQ(one.replaceable, 0);
    EXPECT_EQ(one.newMark, 0);
    EXPECT_EQ(one.imageBytes, readBytes(root_ / "kotei_tiles" / "one.jpg"));
    EXPECT_EQ(one.byteSize, static_cast<std::int32_t>(one.imageBytes.size()));
    const Canvas* image = imageCanvasOf(one);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->rect, (Rect{0, 0, 16, 8}));
    EXPECT_EQ(appState().replaceableCount, 48);
    EXPECT_EQ(appState().cursorColumn, -1);

    // Another window size: the same columns and rows, scaled.
    restart(1500, 750);
    EXPECT_EQ(cellsOfGrid(), (std::vector<Cell>{{2, 2}, {9, 4}}));
    EXPECT_EQ(gridTiles()->back().rect, (Rect{1350, 600, 1500, 750}));
}

TEST_F(PinnedTilesTest, ATimelineTileKeepsItsOriginalAddressAuthorAndPostPageThroughARestart) {
    rescaleGrid(750, 375);
    // Commas, "=", "%" and every key name of the line inside the addresses.
    const std::string original = "https://files.example/name/x/y/orig=1,2%2C/original/abc.jpeg";
    const std::string page = "https://social.example/@cy/1?orig=2,author=3&page=4";
    Tile& tile = placeImage("https://files.example/cache/small/abc.jpeg", Cell{4, 1});
    tile.originalUrl = original;
    tile.origin.author = "cy@remote.example";
    tile.origin.postPage = page;
    rightClickAndPin(tile);
    Tile& plain = placeImage("http://pbs.example/media/old.jpg", Cell{5, 1});
    rightClickAndPin(plain);
    Tile& unnamed = placeImage("http://pbs.example/media/new.jpg", Cell{6, 1});
    unnamed.origin.postPage = "https://social.example/@dee/2";
    rightClickAndPin(unnamed);
    EXPECT_EQ(
        readText(pinnedListPath()),
        "name=https://files.example/cache/small/abc.jpeg,x=4,y=1,"
        "orig=https://files.example/name/x/y/orig=1%2C2%252C/original/abc.jpeg,"
        "author=cy@remote.example,page=https://social.example/@cy/1?orig=2%2Cauthor=3&page=4,\n"
        "name=http://pbs.example/media/old.jpg,x=5,y=1\n"
        "name=http://pbs.example/media/new.jpg,x=6,y=1,page=https://social.example/@dee/2,\n");

    restart(750, 375);
    ASSERT_EQ(gridTiles()->size(), 3u);
    const Tile& back = gridTiles()->front();
    EXPECT_EQ(back.originalUrl, original);
    EXPECT_EQ(originalAddressOf(back), original);
    EXPECT_EQ(back.origin.author, "cy@remote.example");
    EXPECT_EQ(back.origin.postPage, page);
    const Tile& unnamedBack = gridTiles()->back();
    EXPECT_EQ(unnamedBack.originalUrl, "") << "a page holds no full-size address";
    EXPECT_EQ(unnamedBack.origin.author, "");
    EXPECT_EQ(unnamedBack.origin.postPage, "https://social.example/@dee/2");
    const Tile& old = *std::next(gridTiles()->begin());
    EXPECT_EQ(old.origin.author, "");
    EXPECT_EQ(old.origin.postPage, "");
    EXPECT_EQ(old.originalUrl, "");
    EXPECT_EQ(originalAddressOf(old), "http://pbs.example/media/old.jpg:orig");

    // The list written again after the restart is the same, byte for byte.
    const std::string before = readText(pinnedListPath());
    ASSERT_TRUE(writePinnedList(pinnedListPath()));
    EXPECT_EQ(readText(pinnedListPath()), before);
}

TEST_F(PinnedTilesTest, APinnedTileKeepsItsFocalPointSoAFillCropsTheSameAfterARestart) {
    setWallOption(WallOption::TileFit, 1);
    rescaleGrid(1500, 750);  // the cells a start-up decodes for: no copy is remade after it
    // Upright bands across a wide picture: each crop of it looks different.
    const auto bands =
        testjpeg::encode(240, 60, [](int x, int) { return (x / 30 * 0x20u) * 0x010101u; });
    const std::pair focus{0.75f, -0.5f};
    Tile& tile = placeImage("http://pbs.example/media/wide.jpg", Cell{1, 1});
    tile.imageBytes = bands;
    tile.origin.focus = focus;
    rightClickAndPin(tile);
    EXPECT_EQ(readText(pinnedListPath()),
              "name=http://pbs.example/media/wide.jpg,x=1,y=1,focus=0.75 -0.5,\n");
    // Hand-edited lines: a focal point out of range, with one coordinate, or no number.
    std::ofstream(pinnedListPath(), std::ios::app)
        << "name=http://pbs.example/media/wide.jpg,x=2,y=1,focus=1.5 0,\n"
        << "name=http://pbs.example/media/wide.jpg,x=3,y=1,focus=0.5,\n"
        << "name=http://pbs.example/media/wide.jpg,x=4,y=1,focus=0.5 -0.5 1,\n"
        << "name=http://pbs.example/media/wide.jpg,x=5,y=1,focus=a b\n";

    restart(1500, 750);
    ASSERT_EQ(gridTiles()->size(), 5u);
    const auto focused = decodePictureScaled(bands, 150, 150, CellLook{true, false, focus});
    const auto centred = decodePictureScaled(bands, 150, 150, CellLook{true, false, {}});
    ASSERT_TRUE(focused && centred);
    ASSERT_FALSE(focused->picture == centred->picture);
    const Tile& back = gridTiles()->front();
    EXPECT_EQ(back.origin.focus, focus);
    EXPECT_TRUE(*back.surface == focused->picture);
    for (auto it = std::next(gridTiles()->begin()); it != gridTiles()->end(); ++it) {
        EXPECT_FALSE(it->origin.focus.has_value()) << it->rect.left;
        EXPECT_TRUE(*it->surface == centred->picture) << it->rect.left;
    }
}

TEST_F(PinnedTilesTest, AnOriginalAddressTooLongForTheListIsNotPinned) {
    Tile& tile = placeImage("https://files.example/small/long.jpeg", Cell{0, 0});
    tile.originalUrl = "https://files.example/" + std::string(200, ',') + ".jpeg";
    rightClickAndPin(tile);
    EXPECT_EQ(tile.replaceable, 1);
    EXPECT_EQ(saveErrors_, 1);
    EXPECT_FALSE(listedOriginalUrl("a\nb").has_value());
    EXPECT_FALSE(listedOriginalUrl("").has_value());
}

TEST_F(PinnedTilesTest, AListedOriginalThatCannotBeUsedLeavesTheNameAddress) {
    const std::vector<std::string> names{"http://a.example/one.jpg", "http://a.example/two.jpg",
                                         "http://a.example/three.jpg", "http://a.example/four.jpg"};
    for (const std::string& name : names) {
        writeBytes(root_ / "kotei_tiles" / pinnedFileName(name), testjpeg::solid(8, 8, 0x808080));
    }
    // A line end smuggled in by hand, an address the reader cuts, and lines of the old format,
    // one with a key name of the new field in its last value.
    std::ofstream(pinnedListPath(), std::ios::binary)
        << "name=" << names[0] << ",x=0,y=0,orig=https://h.example/o%0Aevil.jpeg,\n"
        << "name=" << names[2] << ",x=2,y=0\n"
        << "name=" << names[1] << ",x=1,y=0,orig=https://h.example/" << std::string(300, 'o')
        << ".jpeg,\n"
        << "name=" << names[3] << ",x=3,y=0 original\n";
    restart(1500, 750);
    ASSERT_EQ(gridTiles()->size(), 4u);
    for (const Tile& tile : *gridTiles()) {
        EXPECT_EQ(tile.originalUrl, "") << tile.name;
        EXPECT_EQ(originalAddressOf(tile), tile.name + ":orig");
    }
    EXPECT_EQ(cellsOfGrid(), (std::vector<Cell>{{0, 0}, {2, 0}, {1, 0}, {3, 0}}));
}

TEST_F(PinnedTilesTest, AnExistingImageFileIsNotOverwritten) {
    const fs::path existing = root_ / "kotei_tiles" / "abc.jpg";
    writeBytes(existing, {9, 9, 9});
    Tile& tile = placeImage("http://pbs.example/media/abc.jpg", Cell{1, 1});
    rightClickAndPin(tile);
    EXPECT_EQ(readBytes(existing), (std::vector<std::uint8_t>{9, 9, 9}));
    EXPECT_EQ(saveErrors_, 0);
    EXPECT_EQ(readText(pinnedListPath()), "name=http://pbs.example/media/abc.jpg,x=1,y=1\n");
}

TEST_F(PinnedTilesTest, AFailedImageSaveIsReportedAndTheTileStaysPinned) {
    fs::remove_all(root_ / "kotei_tiles");
    Tile& tile = placeImage("http://pbs.example/media/abc.jpg", Cell{0, 0});
    rightClickAndPin(tile);
    EXPECT_EQ(saveErrors_, 1);
    EXPECT_EQ(tile.replaceable, 0);
    EXPECT_EQ(readText(pinnedListPath()), "name=http://pbs.example/media/abc.jpg,x=0,y=0\n");

    EXPECT_FALSE(savePinnedFile(root_ / "kotei_tiles" / "x.jpg", std::vector<std::uint8_t>{1}));
    EXPECT_EQ(saveErrors_, 2);
    fs::create_directories(root_ / "kotei_tiles");
    // Nothing to write is a failure too, and leaves no empty file behind.
    EXPECT_FALSE(savePinnedFile(root_ / "kotei_tiles" / "empty.jpg", {}));
    EXPECT_FALSE(fs::exists(root_ / "kotei_tiles" / "empty.jpg"));
    EXPECT_EQ(saveErrors_, 3);
}

TEST_F(PinnedTilesTest, AnImageCutByAKilledWriteNeverTakesTheNameTheListUses) {
    // What a write killed half-way leaves: the partial bytes beside the name, never under it.
    const fs::path leftover = root_ / "kotei_tiles" / "abc.jpg.tmp";
    writeBytes(leftover, {0xFF, 0xD8, 0xFF});
    Tile& tile = placeImage("http://pbs.example/media/abc.jpg", Cell{1, 1});
    const std::vector<std::uint8_t> bytes = tile.imageBytes;
    rightClickAndPin(tile);
    EXPECT_EQ(readBytes(root_ / "kotei_tiles" / "abc.jpg"), bytes);
    EXPECT_FALSE(fs::exists(leftover));
    EXPECT_EQ(saveErrors_, 0);
    restart(750, 375);
    ASSERT_NE(findCanvas(*gridTiles(), "http://pbs.example/media/abc.jpg"), nullptr);
}

TEST_F(PinnedTilesTest, UnpinningRetiresTheFileUnderANumberedName) {
    Tile& tile = placeImage("http://pbs.example/media/abc.jpg", Cell{4, 0});
    const std::vector<std::uint8_t> bytes = tile.imageBytes;
    rightClickAndPin(tile);
    appState().random.seed(1234);
    std::mt19937 probe = appState().random;
    const int number = drawRetireNumber(probe);
    EXPECT_GE(number, 0);
    EXPECT_LE(number, 9999);

    togglePin();
    EXPECT_EQ(tile.replaceable, 1);
    EXPECT_EQ(appState().replaceableCount, 50);
    EXPECT_FALSE(fs::exists(root_ / "kotei_tiles" / "abc.jpg"));
    const fs::path retired =
        root_ / "kotei_tiles" / "olds" / ("_old_" + std::to_string(number) + "_abc.jpg");
    EXPECT_EQ(readBytes(retired), bytes);
    EXPECT_EQ(readText(pinnedListPath()), "");

    // Pinning again writes the image anew.
    togglePin();
    EXPECT_EQ(readBytes(root_ / "kotei_tiles" / "abc.jpg"), bytes);
}

TEST_F(PinnedTilesTest, AnOccupiedRetiredNameLeavesTheFileInPlace) {
    Tile& tile = placeImage("http://pbs.example/media/abc.jpg", Cell{4, 0});
    rightClickAndPin(tile);
    appState().random.seed(99);
    std::mt19937 probe = appState().random;
    const fs::path occupied = root_ / "kotei_tiles" / "olds" /
                              ("_old_" + std::to_string(drawRetireNumber(probe)) + "_abc.jpg");
    writeBytes(occupied, {4, 4});
    togglePin();
    EXPECT_EQ(tile.replaceable, 1);
    EXPECT_TRUE(fs::exists(root_ / "kotei_tiles" / "abc.jpg"));
    EXPECT_EQ(readBytes(occupied), (std::vector<std::uint8_t>{4, 4}));
    EXPECT_EQ(readText(pinnedListPath()), "");
}

TEST_F(PinnedTilesTest, ListLinesWithoutAllThreeKeysAreIgnored) {
    writeBytes(root_ / "kotei_tiles" / "a.jpg", testjpeg::solid(4, 4, 0));
    std::ofstream(pinnedListPath()) << "name=http://p.example/a.jpg,x=1\n"
                                       "x=1,y=2\n"
                                       "name=http://p.example/a.jpg,x=5,y=3\n";
    restart(1500, 750);
    EXPECT_EQ(cellsOfGrid(), (std::vector<Cell>{{5, 3}}));
    EXPECT_EQ(appState().replaceableCount, 49);
}

TEST_F(PinnedTilesTest, ListLinesWhoseNameWasCutAreDropped) {
    // 300 bytes: the reader keeps only the first 255, which would name another picture.
    const std::string longName = "http://p.example/" + std::string(279, 'a') + ".jpg";
    ASSERT_EQ(longName.size(), 300u);
    const std::string cutName = longName.substr(0, 255);
    writeBytes(root_ / "kotei_tiles" / pinnedFileName(longName), testjpeg::solid(4, 4, 0));
    writeBytes(root_ / "kotei_tiles" / pinnedFileName(cutName), testjpeg::solid(4, 4, 0));
    writeBytes(root_ / "kotei_tiles" / "b.jpg", testjpeg::solid(4, 4, 0));
    const std::string edge = "http://p.example/" + std::string(234, 'e') + ".jpg";
    ASSERT_EQ(edge.size(), 255u);
    writeBytes(root_ / "kotei_tiles" / pinnedFileName(edge), testjpeg::solid(4, 4, 0));
    std::ofstream(pinnedListPath()) << "name=" << longName << ",x=1,y=1\n"
                                    << "name=http://p.example/b.jpg,x=2,y=2\n"
                                    << "name=" << longName << ",x=9,y=9\n"
                                    << "name=" << edge << ",x=3,y=3\n";
    restart(1500, 750);
    EXPECT_EQ(cellsOfGrid(), (std::vector<Cell>{{2, 2}, {3, 3}}));
    for (const Tile& tile : *gridTiles()) {
        EXPECT_NE(tile.name, cutName);
    }
    EXPECT_EQ(gridTiles()->back().name, edge) << "a name of exactly 255 bytes loads whole";
    EXPECT_TRUE(appState().dormantPins.empty()) << "not kept to be written back either";
    EXPECT_EQ(appState().replaceableCount, 48);

    // The next write of the list leaves the dropped lines out.
    rightClickAndPin(placeImage("http://p.example/new.jpg", Cell{0, 0}));
    const std::string list = readText(pinnedListPath());
    EXPECT_EQ(list.find(cutName), std::string::npos) << list;
    EXPECT_NE(list.find("name=http://p.example/b.jpg,x=2,y=2\n"), std::string::npos) << list;
}

TEST_F(PinnedTilesTest, MissingOrBrokenImagesStayListedUntilTheyComeBack) {
    writeBytes(root_ / "kotei_tiles" / "broken.jpg", {0xFF, 0xD8, 1, 2, 3});
    writeBytes(root_ / "kotei_tiles" / "far.jpg", testjpeg::solid(4, 4, 0));
    const std::string list =
        "name=http://p.example/missing.jpg,x=1,y=1\n"
        "name=http://p.example/broken.jpg,x=2,y=1\n"
        "name=http://p.example/far.jpg,x=12,y=-1\n";
    std::ofstream(pinnedListPath()) << list;
    restart(1500, 750);
    EXPECT_TRUE(gridTiles()->empty());
    EXPECT_EQ(appState().replaceableCount, 50);

    // Pinning another tile rewrites the list; the dormant lines stay in it.
    rightClickAndPin(placeImage("http://p.example/new.jpg", Cell{0, 0}));
    EXPECT_EQ(readText(pinnedListPath()), "name=http://p.example/new.jpg,x=0,y=0\n" + list);

    writeBytes(root_ / "kotei_tiles" / "missing.jpg", testjpeg::solid(4, 4, 0));
    restart(1500, 750);
    EXPECT_EQ(cellsOfGrid(), (std::vector<Cell>{{0, 0}, {1, 1}}));
}

TEST_F(PinnedTilesTest, ManyPinsLoadedTogetherKeepTheListOrderAndTheirPictures) {
    // Decoded side by side, the tiles still enter the grid in the list's order, and so do
    // the lines left dormant.
    std::string list;
    std::vector<std::string> expectedGrid;
    std::vector<std::string> expectedDormant;
    for (int i = 0; i < 24; ++i) {
        const std::string name = "http://pbs.example/media/p" + std::to_string(i) + ".jpg";
        list +=
            "name=" + name + ",x=" + std::to_string(i % 10) + ",y=" + std::to_string(i / 10) + "\n";
        if (i % 5 == 3) {
            expectedDormant.push_back(name);  // no file
            continue;
        }
        writeBytes(root_ / "kotei_tiles" / ("p" + std::to_string(i) + ".jpg"),
                   testjpeg::solid(20 + i, 10 + i, rgb(static_cast<std::uint8_t>(i * 10), 0, 0)));
        expectedGrid.push_back(name);
    }
    std::ofstream(pinnedListPath()) << list;
    restart(1500, 750);

    std::vector<std::string> grid;
    for (const Tile& tile : *gridTiles()) {
        grid.push_back(tile.name);
        const int i = std::stoi(tile.name.substr(26));
        EXPECT_EQ(imageCanvasOf(tile)->rect, (Rect{0, 0, 20 + i, 10 + i}));
        EXPECT_EQ(cellsOfGrid()[grid.size() - 1], (Cell{i % 10, i / 10}));
        // Its picture, whatever size the first paint gives the cells.
        const auto shown = pixelAt(*tile.surface, 5, 5);
        ASSERT_TRUE(shown.has_value());
        EXPECT_LE(std::abs(static_cast<int>(*shown >> 16) - i * 10), 6) << tile.name;
    }
    EXPECT_EQ(grid, expectedGrid);
    std::vector<std::string> dormant;
    for (const DormantPin& pin : appState().dormantPins) {
        dormant.push_back(pin.name);
    }
    EXPECT_EQ(dormant, expectedDormant);
    EXPECT_EQ(appState().replaceableCount, kGridCells - static_cast<int>(expectedGrid.size()));
}

TEST_F(PinnedTilesTest, PinningADormantNameAgainKeepsOneLine) {
    std::ofstream(pinnedListPath()) << "name=http://p.example/gone.jpg,x=1,y=1\n";
    restart(1500, 750);
    rightClickAndPin(placeImage("http://p.example/gone.jpg", Cell{3, 3}));
    EXPECT_EQ(readText(pinnedListPath()), "name=http://p.example/gone.jpg,x=3,y=3\n");
}

TEST_F(PinnedTilesTest, AFailedListWriteKeepsTheOldList) {
    std::ofstream(pinnedListPath()) << "name=http://p.example/old.jpg,x=1,y=1\n";
    fs::create_directories(root_ / "txts" / "kotei_jpgs.txt.tmp");  // blocks the temporary file
    Tile& tile = placeImage("http://p.example/abc.jpg", Cell{0, 0});
    tile.replaceable = 0;
    EXPECT_FALSE(writePinnedList(pinnedListPath()));
    EXPECT_EQ(readText(pinnedListPath()), "name=http://p.example/old.jpg,x=1,y=1\n");
    EXPECT_FALSE(writePinnedList(root_ / "no_such_folder" / "list.txt"));
}

TEST_F(PinnedTilesTest, FileNamesThatCouldEscapeOrThatWindowsCannotStoreAreReplaced) {
    EXPECT_EQ(pinnedFileName("http://pbs.example/media/Ab-c_1.jpg"), "Ab-c_1.jpg");
    EXPECT_EQ(pinnedFileName("http://pbs.example/media/CONSOLE.jpg"), "CONSOLE.jpg");
    EXPECT_EQ(pinnedFileName("http://pbs.example/media/COM10.jpg"), "COM10.jpg");
    EXPECT_EQ(pinnedFileName("http://pbs.example/media/CONIN.jpg"), "CONIN.jpg");
    EXPECT_EQ(pinnedFileName("http://pbs.example/media/CONOUT$$.jpg"), "CONOUT$$.jpg");
    const std::vector<std::string> unsafe = {
        "abc.jpg",           "http://e.example/",      "http://e.example/..",
        "http://e/.",        "http://e/..\\..\\w.jpg", "http://e/C:w.jpg",
        "http://e/con",      "http://e/CON.jpg",       "http://e/nul .tar.gz",
        "http://e/Lpt1.jpg", "http://e/com9",          "http://e/aux.x",
        "http://e/a*.jpg",   "http://e/a?b.jpg",       "http://e/a\"b.jpg",
        "http://e/a<b.jpg",  "http://e/a>b.jpg",       "http://e/a|b.jpg",
        "http://e/a.jpg.",   "http://e/a.jpg ",        "http://e/a\tb.jpg",
        "http://e/\x7f.jpg", "http://e/\x95\x5c.jpg",  "http://e/prn.jpg",
        "http://e/CONIN$",   "http://e/conout$.jpg",   "http://e/Conin$ .x.y"};
    std::vector<std::string> derived;
    for (const std::string& name : unsafe) {
        const std::string file = pinnedFileName(name);
        EXPECT_TRUE(file.starts_with("tile_") && file.ends_with(".jpg") && file.size() == 25)
            << name << " -> " << file;
        EXPECT_EQ(pinnedFileName(name), file);
        derived.push_back(file);
    }
    std::sort(derived.begin(), derived.end());
    EXPECT_EQ(std::unique(derived.begin(), derived.end()), derived.end());
}

TEST_F(PinnedTilesTest, ATileWithAnUnsafeNameIsPinnedUnderItsDerivedName) {
    const std::string name = "http://e.example/..\\..\\evil.jpg";
    Tile& tile = placeImage(name, Cell{2, 0});
    rightClickAndPin(tile);
    const fs::path file = root_ / "kotei_tiles" / pinnedFileName(name);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_FALSE(fs::exists(root_ / "evil.jpg"));
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(root_)) {
        ++entries;
    }
    EXPECT_EQ(entries, 2u);  // txts and kotei_tiles only

    restart(1500, 750);
    ASSERT_EQ(gridTiles()->size(), 1u);
    EXPECT_EQ(gridTiles()->front().name, name);

    // Unpinning retires the derived file, and only that.
    selectTileAt(301, 1);
    togglePin();
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(fs::is_empty(root_ / "kotei_tiles" / "olds"));
    EXPECT_FALSE(retirePinnedFile("../../txts/kotei_jpgs.txt"));
    EXPECT_TRUE(fs::exists(pinnedListPath()));
}

TEST_F(PinnedTilesTest, NamesTheListCannotCarryAreNotPinned) {
    for (const std::string name :
         {"http://e.example/a,b.jpg", "http://e.example/x=1/a.jpg", "http://e.example/a?x=1&y=2"}) {
        Tile& tile = placeImage(name, Cell{0, 0});
        const int errorsBefore = saveErrors_;
        rightClickAndPin(tile);
        EXPECT_EQ(tile.replaceable, 1) << name;
        EXPECT_EQ(saveErrors_, errorsBefore + 1);
        EXPECT_EQ(appState().replaceableCount, 50);
        releaseGrid();
    }
    EXPECT_FALSE(fs::exists(pinnedListPath()));
    EXPECT_TRUE(isListableTileName("http://pbs.example/media/abc.jpg"));
}

TEST_F(PinnedTilesTest, NamesHoldingYEqualsComeBackWithTheirNameAndCell) {
    // The row is looked for only after the column's value, so "y=" in the name is harmless.
    const std::vector<std::string> names{"http://e.example/y=1/a.jpg",
                                         "http://e.example/y=/x/y=3.jpg"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        rightClickAndPin(placeImage(names[i], Cell{static_cast<std::int32_t>(i) + 2, 3}));
        EXPECT_EQ(saveErrors_, 0) << names[i];
    }
    restart(1500, 750);
    ASSERT_EQ(cellsOfGrid(), (std::vector<Cell>{{2, 3}, {3, 3}}));
    std::vector<std::string> loaded;
    for (const Tile& tile : *gridTiles()) {
        loaded.push_back(tile.name);
    }
    EXPECT_EQ(loaded, names);
    EXPECT_TRUE(appState().dormantPins.empty());
}

TEST_F(PinnedTilesTest, AFileSharedByTwoPinsIsKeptWhileOneOfThemRemainsPinned) {
    Tile& first = placeImage("http://a.example/one/abc.jpg", Cell{0, 0});
    Tile& second = placeImage("http://a.example/two/abc.jpg", Cell{1, 0});
    rightClickAndPin(first);
    rightClickAndPin(second);
    selectTileAt(1, 1);
    togglePin();
    EXPECT_EQ(first.replaceable, 1);
    EXPECT_TRUE(fs::exists(root_ / "kotei_tiles" / "abc.jpg"));
    selectTileAt(151, 1);
    togglePin();
    EXPECT_FALSE(fs::exists(root_ / "kotei_tiles" / "abc.jpg"));
}

TEST_F(PinnedTilesTest, AFileADormantPinNamesIsKeptWhenAnotherTileSharingItIsUnpinned) {
    // The dormant line's image is missing at start-up; pinning another tile whose file has the
    // same name brings the image back, and unpinning that tile must leave it for the line.
    std::ofstream(pinnedListPath()) << "name=http://a.example/one/abc.jpg,x=1,y=1\n";
    restart(1500, 750);
    ASSERT_EQ(appState().dormantPins.size(), 1u);
    rightClickAndPin(placeImage("http://a.example/two/abc.jpg", Cell{4, 2}));
    selectTileAt(601, 301);
    togglePin();
    EXPECT_EQ(readText(pinnedListPath()), "name=http://a.example/one/abc.jpg,x=1,y=1\n");
    EXPECT_TRUE(fs::exists(root_ / "kotei_tiles" / "abc.jpg"));
    EXPECT_TRUE(fs::is_empty(root_ / "kotei_tiles" / "olds"));

    restart(1500, 750);
    ASSERT_EQ(cellsOfGrid(), (std::vector<Cell>{{1, 1}}));
    EXPECT_EQ(gridTiles()->front().name, "http://a.example/one/abc.jpg");
}

TEST_F(PinnedTilesTest, DroppingADormantPinRetiresItsFileUnlessAPinnedTileNamesIt) {
    writeBytes(root_ / "kotei_tiles" / "broken.jpg", {0xFF, 0xD8, 1, 2, 3});
    std::ofstream(pinnedListPath()) << "name=http://p.example/broken.jpg,x=2,y=1\n"
                                    << "name=http://p.example/missing.jpg,x=1,y=1\n";
    restart(1500, 750);
    rightClickAndPin(placeImage("http://q.example/missing.jpg", Cell{4, 2}));

    EXPECT_FALSE(dropDormantPin("http://p.example/none.jpg"));
    EXPECT_TRUE(dropDormantPin("http://p.example/broken.jpg"));
    EXPECT_FALSE(fs::exists(root_ / "kotei_tiles" / "broken.jpg"));
    EXPECT_TRUE(dropDormantPin("http://p.example/missing.jpg"));
    EXPECT_EQ(readText(pinnedListPath()), "name=http://q.example/missing.jpg,x=4,y=2\n");
    EXPECT_TRUE(fs::exists(root_ / "kotei_tiles" / "missing.jpg")) << "the pinned tile's image";
}

TEST_F(PinnedTilesTest, TogglingWithoutASelectionOrWithAReplacedTileDoesNothing) {
    togglePin();
    Tile& tile = placeImage("http://p.example/abc.jpg", Cell{0, 0});
    selectTileAt(1, 1);
    releaseGrid();
    togglePin();
    EXPECT_FALSE(fs::exists(pinnedListPath()));
    EXPECT_EQ(appState().replaceableCount, 50);
    (void)tile;
}

TEST_F(PinnedTilesTest, PinningAllButOneCellLeavesOneReplaceable) {
    for (int i = 0; i < kGridCells; ++i) {
        placeImage("http://p.example/" + std::to_string(i) + ".jpg",
                   Cell{i % kGridColumns, i / kGridColumns});
    }
    for (int i = 0; i < kGridCells - 1; ++i) {
        selectTileAt((i % kGridColumns) * 150 + 1, (i / kGridColumns) * 150 + 1);
        togglePin();
    }
    EXPECT_EQ(appState().replaceableCount, 1);
    EXPECT_EQ(findReplaceableCell(), (Cell{9, 4}));
    selectTileAt(9 * 150 + 1, 4 * 150 + 1);
    togglePin();
    EXPECT_EQ(appState().replaceableCount, 1);
    EXPECT_FALSE(findReplaceableCell().has_value());

    restart(1500, 750);
    EXPECT_EQ(gridTiles()->size(), 50u);
    EXPECT_EQ(appState().replaceableCount, 1);
}

}  // namespace
