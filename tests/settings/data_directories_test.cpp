#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"
#include "settings/data_directories.h"

TEST(DataDirectories, CreatesTheMissingFoldersAndKeepsExistingFiles) {
    TempFolder scratch;
    const auto root = scratch.path();
    ASSERT_TRUE(ensureDataDirectories(root));
    EXPECT_TRUE(std::filesystem::is_directory(root / "txts"));
    EXPECT_TRUE(std::filesystem::is_directory(root / "kotei_tiles"));
    EXPECT_TRUE(std::filesystem::is_directory(root / "kotei_tiles" / "olds"));

    writeBytes(root / "txts" / "key.txt", "token\nsecret\n");
    writeBytes(root / "kotei_tiles" / "b.jpg", "jpeg");
    ASSERT_TRUE(ensureDataDirectories(root));
    EXPECT_EQ(readBytes(root / "txts" / "key.txt"), "token\nsecret\n");
    EXPECT_EQ(readBytes(root / "kotei_tiles" / "b.jpg"), "jpeg");
    EXPECT_TRUE(std::filesystem::is_directory(root / "kotei_tiles" / "olds"));
}

TEST(DataDirectories, ReportsAFileStandingInAFoldersPlace) {
    TempFolder scratch;
    writeBytes(scratch.path() / "kotei_tiles", "not a folder");
    EXPECT_FALSE(ensureDataDirectories(scratch.path()));
    EXPECT_TRUE(std::filesystem::is_directory(scratch.path() / "txts"));
    EXPECT_EQ(readBytes(scratch.path() / "kotei_tiles"), "not a folder");
}
