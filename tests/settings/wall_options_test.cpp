#include <gtest/gtest.h>

#include <string>

#include "settings/wall_options.h"
#include "tests/support/temp_folder.h"

namespace {

class WallOptionsTest : public ::testing::Test {
  protected:
    void TearDown() override { resetWallOptions(); }
    TempFolder scratch;
};

TEST_F(WallOptionsTest, MissingFileGivesTheDesignedBehaviour) {
    loadWallOptions(scratch.path() / "wall.txt");
    EXPECT_EQ(wallOption(WallOption::TileFit), 0);
    EXPECT_EQ(wallOption(WallOption::TileFilter), 0);
    EXPECT_EQ(wallOption(WallOption::RestoreWall), 0);
    EXPECT_EQ(wallOption(WallOption::SimilarSkip), 0);
    EXPECT_TRUE(wallOptionIsOn(WallOption::PauseUnseen));
}

// Out-of-range values keep the default, a malformed line is ignored, and the save writes every
// key once so the file reads back the same.
TEST_F(WallOptionsTest, ReadsTheSameReaderWayAndSavesEveryKey) {
    const auto file = scratch.path() / "wall.txt";
    writeBytes(file, "tile_fit=1,tile_filter=7\nnonsense\npause_unseen=0\nskip_words=a b\n");
    loadWallOptions(file);
    EXPECT_EQ(wallOption(WallOption::TileFit), 1);
    EXPECT_EQ(wallOption(WallOption::TileFilter), 0);
    EXPECT_FALSE(wallOptionIsOn(WallOption::PauseUnseen));
    EXPECT_EQ(wallOptionText(WallOption::SkipWords), "a b");
    setWallOption(WallOption::RestoreWall, 1);
    setWallOption(WallOption::SimilarSkip, 5);
    setWallOptionText(WallOption::SkipWords, "x\ny");
    ASSERT_TRUE(saveWallOptions());
    EXPECT_EQ(readBytes(file),
              "tile_fit=1\ntile_filter=0\nrestore_wall=1\npause_unseen=0\nsimilar_skip=0\n"
              "skip_words=x\n");
}

}  // namespace
