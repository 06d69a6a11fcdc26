#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "settings/option_store.h"
#include "tests/support/option_lookup.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr OptionDefaults kFullHd{1920, 1080};

const std::vector<std::string> kTableOrder = {
    "kotei_render", "window_wid",    "window_hei",   "window_kotei", "window_zzahyo",
    "serch_byo",    "serch_ken",     "syokeikoku",   "original",     "kaku_kousin",
    "kaku_fukusuu", "kaku_tubuyaki", "kensaku_word", "window_x",     "window_y"};

class OptionStoreTest : public ::testing::Test {
  protected:
    void TearDown() override { clearOptions(); }

    std::filesystem::path optionFile() const { return scratch.path() / "tva_option.txt"; }

    void loadFrom(const std::string& bytes, OptionDefaults defaults = kFullHd) {
        writeBytes(optionFile(), bytes);
        loadOptions(optionFile(), defaults);
    }

    std::string savedFile() {
        EXPECT_TRUE(saveOptions());
        return readBytes(optionFile());
    }

    static std::string keyword() {
        std::string text = "absent";
        EXPECT_TRUE(getOption("kensaku_word", nullptr, &text));
        return text;
    }

    TempFolder scratch;
};

// The names of the lines of an option file, in order.
std::vector<std::string> keysOf(const std::string& file) {
    std::vector<std::string> keys;
    std::size_t from = 0;
    while (from < file.size()) {
        const auto end = file.find('\n', from);
        const std::string line = file.substr(from, end - from);
        keys.push_back(line.substr(0, line.find('=')));
        from = end == std::string::npos ? file.size() : end + 1;
    }
    return keys;
}

}  // namespace

TEST_F(OptionStoreTest, MissingFileGivesAllDefaultsCentredAndSavesThem) {
    loadOptions(optionFile(), kFullHd);
    EXPECT_EQ(savedFile(),
              "kotei_render=1\nwindow_wid=1500\nwindow_hei=750\nwindow_kotei=0\n"
              "window_zzahyo=1\nserch_byo=25\nserch_ken=20\nsyokeikoku=0\noriginal=0\n"
              "kaku_kousin=0\nkaku_fukusuu=0\nkaku_tubuyaki=0\nkensaku_word=\n"
              "window_x=210\nwindow_y=165\n");
    EXPECT_EQ(keyword(), "");
}

TEST_F(OptionStoreTest, DefaultPositionCentresTheLoadedSizeAndNeverGoesNegative) {
    loadFrom("window_wid=2001\nwindow_hei=401\n");
    EXPECT_EQ(optionOr("window_x", -1), 0);
    EXPECT_EQ(optionOr("window_y", -1), 339);

    clearOptions();
    loadFrom("window_wid=1001\n", OptionDefaults{1366, 768});
    EXPECT_EQ(optionOr("window_x", -1), 182);
    EXPECT_EQ(optionOr("window_y", -1), 9);

    clearOptions();
    loadFrom("window_wid=-2147483648\nwindow_hei=2147483647\n");
    EXPECT_EQ(optionOr("window_x", -1), 1073742784);
    EXPECT_EQ(optionOr("window_y", -1), 0);

    clearOptions();
    loadFrom("window_x=-40\nwindow_y=-30\n");
    EXPECT_EQ(optionOr("window_x", 0), -40) << "a stored position is kept as it is";
    EXPECT_EQ(optionOr("window_y", 0), -30);
}

TEST_F(OptionStoreTest, ReorderedDoubledAndForeignKeysAreRewrittenInTableOrder) {
    loadFrom(
        "window_y=12\nfoo=1\nkensaku_word=cats\nwindow_x=11\nserch_ken=30\n"
        "kotei_render=0\nwindow_y=13\nbar_baz=hello\nwindow_wid=800\nwindow_hei=600\n");
    const std::string saved = savedFile();
    EXPECT_EQ(keysOf(saved), kTableOrder);
    EXPECT_EQ(saved,
              "kotei_render=0\nwindow_wid=800\nwindow_hei=600\nwindow_kotei=0\n"
              "window_zzahyo=1\nserch_byo=25\nserch_ken=30\nsyokeikoku=0\noriginal=0\n"
              "kaku_kousin=0\nkaku_fukusuu=0\nkaku_tubuyaki=0\nkensaku_word=cats\n"
              "window_x=11\nwindow_y=13\n");
}

TEST_F(OptionStoreTest, SavedFileLoadsBackToTheSameValues) {
    loadOptions(optionFile(), kFullHd);
    ASSERT_TRUE(setOption("window_x", -120));
    ASSERT_TRUE(setOption("window_y", -2147483647 - 1));
    ASSERT_TRUE(setOption("window_zzahyo", 2));
    ASSERT_TRUE(setOption("kensaku_word", std::nullopt, "blue sky"));
    const std::string first = savedFile();
    EXPECT_NE(first.find("window_x=-120\n"), std::string::npos);
    EXPECT_NE(first.find("window_y=-2147483648\n"), std::string::npos);

    clearOptions();
    loadOptions(optionFile(), kFullHd);
    EXPECT_EQ(optionOr("window_x", 0), -120);
    EXPECT_EQ(optionOr("window_y", 0), -2147483647 - 1);
    EXPECT_EQ(optionOr("window_zzahyo", 0), 2);
    EXPECT_EQ(keyword(), "blue sky");
    EXPECT_EQ(savedFile(), first);
}

TEST_F(OptionStoreTest, SearchIntervalAndCountAreRepairedIntoRange) {
    struct Case {
        const char* file;
        std::int32_t byo;
        std::int32_t ken;
    };
    const Case cases[] = {
        {"serch_byo=40\nserch_ken=5\n", 25, 20},    {"serch_byo=fast\nserch_ken=many\n", 25, 20},
        {"serch_byo=14\nserch_ken=9\n", 25, 20},    {"serch_byo=36\nserch_ken=31\n", 25, 20},
        {"serch_byo=15\nserch_ken=10\n", 15, 10},   {"serch_byo=35\nserch_ken=30\n", 35, 30},
        {"serch_byo=-25\nserch_ken=-20\n", 25, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        loadFrom(c.file);
        EXPECT_EQ(optionOr("serch_byo", 0), c.byo);
        EXPECT_EQ(optionOr("serch_ken", 0), c.ken);
        clearOptions();
    }
}

TEST_F(OptionStoreTest, KeywordQuirksOfTheFileFormat) {
    loadFrom("kensaku_word=cats,dogs\n");
    EXPECT_EQ(keyword(), "cats");

    clearOptions();
    loadFrom("kensaku_word=original photos\n");
    EXPECT_EQ(keyword(), "") << "a keyword naming a key loads as the default";
    EXPECT_NE(savedFile().find("kensaku_word=\n"), std::string::npos);

    clearOptions();
    loadFrom("window_x=\nxwindow_y=77\n");
    EXPECT_EQ(optionOr("window_x", -1), 210) << "an empty value falls back to the default";
    EXPECT_EQ(optionOr("window_y", -1), 77);
}

TEST_F(OptionStoreTest, LongKeywordsAreCutAt255BytesEverywhere) {
    loadFrom("kensaku_word=" + std::string(400, 'k') + "\n");
    EXPECT_EQ(keyword(), std::string(255, 'k'));

    ASSERT_TRUE(setOption("kensaku_word", std::nullopt, std::string(300, 'n')));
    EXPECT_EQ(keyword(), std::string(255, 'n'));
    EXPECT_NE(savedFile().find("kensaku_word=" + std::string(255, 'n') + "\nwindow_x="),
              std::string::npos);

    clearOptions();
    loadOptions(optionFile(), kFullHd);
    EXPECT_EQ(keyword(), std::string(255, 'n'));
}

TEST_F(OptionStoreTest, KeywordWithLineBreakCannotInjectAnotherKey) {
    loadOptions(optionFile(), kFullHd);
    ASSERT_TRUE(setOption("kensaku_word", std::nullopt, "cats\nwindow_x=5"));
    EXPECT_EQ(keyword(), "cats");
    ASSERT_TRUE(setOption("kensaku_word", std::nullopt, std::string("dogs\0window_y=9", 15)));
    EXPECT_EQ(keyword(), "dogs");
    ASSERT_TRUE(saveOptions());

    clearOptions();
    loadOptions(optionFile(), kFullHd);
    EXPECT_EQ(keyword(), "dogs");
    EXPECT_EQ(optionOr("window_x", -1), 210);
    EXPECT_EQ(optionOr("window_y", -1), 165);
}

TEST_F(OptionStoreTest, JapaneseKeywordBytesSurviveSaveAndLoad) {
    const std::string shiftJis = "\x8e\xca\x90\x5e\x81\x40\x95\x5c\x8e\xa6";
    loadFrom("kensaku_word=" + shiftJis + "\n");
    EXPECT_EQ(keyword(), shiftJis);
    ASSERT_TRUE(saveOptions());
    clearOptions();
    loadOptions(optionFile(), kFullHd);
    EXPECT_EQ(keyword(), shiftJis);
}

TEST_F(OptionStoreTest, GetAndSetOnlyTouchKnownKeys) {
    loadOptions(optionFile(), kFullHd);
    std::int32_t value = 1234;
    std::string text = "preset";
    EXPECT_FALSE(getOption("no_such_key", &value, &text));
    EXPECT_FALSE(getOption("Window_X", &value, &text)) << "names are case-sensitive";
    EXPECT_EQ(value, 1234);
    EXPECT_EQ(text, "preset");
    EXPECT_FALSE(setOption("no_such_key", 5, "text"));
    EXPECT_EQ(optionOr("no_such_key", -9), -9);
    EXPECT_EQ(keysOf(savedFile()), kTableOrder) << "setOption never creates an entry";

    ASSERT_TRUE(setOption("kensaku_word", 77, "words"));
    EXPECT_EQ(keyword(), "words");
    ASSERT_TRUE(getOption("kensaku_word", &value));
    EXPECT_EQ(value, 0) << "a text change leaves the integer alone";

    ASSERT_TRUE(setOption("original", 1));
    ASSERT_TRUE(getOption("original", &value, &text));
    EXPECT_EQ(value, 1);
    EXPECT_EQ(text, "");
}

TEST_F(OptionStoreTest, EmptyStoreReportsMisses) {
    std::int32_t value = 5;
    EXPECT_FALSE(getOption("window_x", &value));
    EXPECT_EQ(value, 5);
    EXPECT_FALSE(setOption("window_x", 1));
    EXPECT_FALSE(saveOptions()) << "nothing was loaded, so there is nowhere to save";
}

TEST_F(OptionStoreTest, FailedSaveLeavesThePreviousFileUntouched) {
    const std::string previous = "window_x=5\nkensaku_word=old\n";
    loadFrom(previous);
    ASSERT_TRUE(setOption("window_x", 99));

    // The temporary file cannot be created: its name is taken by a folder.
    const auto temporary = scratch.path() / "tva_option.txt.tmp";
    std::filesystem::create_directory(temporary);
    EXPECT_FALSE(saveOptions());
    EXPECT_EQ(readBytes(optionFile()), previous);
    std::filesystem::remove(temporary);

    EXPECT_TRUE(saveOptions());
    EXPECT_NE(readBytes(optionFile()).find("window_x=99\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(temporary));
}

TEST_F(OptionStoreTest, FailedRenameRemovesTheTemporaryFile) {
    const auto target = scratch.path() / "occupied";
    loadOptions(target, kFullHd);
    std::filesystem::create_directories(target / "inside");
    EXPECT_FALSE(saveOptions());
    EXPECT_TRUE(std::filesystem::is_directory(target / "inside"));
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "occupied.tmp"));
}

TEST_F(OptionStoreTest, MissingFolderFailsWithoutCreatingAnything) {
    const auto folder = scratch.path() / "txts";
    loadOptions(folder / "tva_option.txt", kFullHd);
    EXPECT_FALSE(saveOptions());
    EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST_F(OptionStoreTest, ReadOnlyFolderKeepsThePreviousFile) {
    const std::string previous = "window_x=5\n";
    loadFrom(previous);
    ASSERT_TRUE(setOption("window_x", 6));
    std::filesystem::permissions(scratch.path(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    const auto probe = scratch.path() / "probe";
    writeBytes(probe, "x");
    if (std::filesystem::exists(probe)) {
        GTEST_SKIP() << "this user writes into read-only folders";
    }
    EXPECT_FALSE(saveOptions());
    EXPECT_EQ(readBytes(optionFile()), previous);
}

TEST_F(OptionStoreTest, ConcurrentReadersNeverSeeATornKeyword) {
    loadOptions(optionFile(), kFullHd);
    std::atomic<bool> done = false;
    std::thread writer([&done] {
        for (int round = 0; round < 2000; ++round) {
            const char fill = static_cast<char>('a' + round % 26);
            setOption("kensaku_word", std::nullopt, std::string(1 + round % 200, fill));
            setOption("serch_ken", round);
        }
        done = true;
    });
    int torn = 0;
    while (!done) {
        std::string text;
        getOption("kensaku_word", nullptr, &text);
        if (!text.empty() && text.find_first_not_of(text.front()) != std::string::npos) {
            ++torn;
        }
        saveOptions();
    }
    writer.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(optionOr("serch_ken", 0), 1999);
    EXPECT_EQ(keysOf(savedFile()), kTableOrder);
}

// Reading the keyword as an integer, or a window coordinate as text, does not compile.
static_assert(!std::is_invocable_v<decltype(&optionValue), decltype(OptionKey::Keyword)>);
static_assert(!std::is_invocable_v<decltype(&optionText), decltype(OptionKey::WindowX)>);
static_assert(!std::is_invocable_v<decltype(&setOptionValue), decltype(OptionKey::Keyword), int>);

TEST_F(OptionStoreTest, TypedKeysReachTheirOwnLinesOfTheFile) {
    loadFrom(
        "kotei_render=101\nwindow_wid=102\nwindow_hei=103\nwindow_kotei=104\n"
        "window_zzahyo=105\nserch_byo=16\nserch_ken=17\nsyokeikoku=108\noriginal=109\n"
        "kaku_kousin=110\nkaku_fukusuu=111\nkaku_tubuyaki=112\nkensaku_word=cats\n"
        "window_x=114\nwindow_y=115\n");
    const std::pair<IntOptionKey, std::int32_t> expected[] = {
        {OptionKey::PinnedMarks, 101},    {OptionKey::WindowWidth, 102},
        {OptionKey::WindowHeight, 103},   {OptionKey::FrameFixed, 104},
        {OptionKey::StackingOrder, 105},  {OptionKey::SearchInterval, 16},
        {OptionKey::ResultCount, 17},     {OptionKey::WarnFewResults, 108},
        {OptionKey::OriginalImages, 109}, {OptionKey::UpdateWhileEnlarged, 110},
        {OptionKey::AllowSeveral, 111},   {OptionKey::AttachMessage, 112},
        {OptionKey::WindowX, 114},        {OptionKey::WindowY, 115},
    };
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(optionValue(key), value) << optionRow(key).name;
    }
    EXPECT_EQ(optionText(OptionKey::Keyword), "cats");

    ASSERT_TRUE(setOptionValue(OptionKey::StackingOrder, kStackTopmost));
    ASSERT_TRUE(setOptionValue(OptionKey::FrameFixed, 0));
    ASSERT_TRUE(setOptionText(OptionKey::Keyword, "dogs\nwindow_x=1"));
    const std::string saved = savedFile();
    EXPECT_NE(saved.find("\nwindow_kotei=0\nwindow_zzahyo=2\n"), std::string::npos);
    EXPECT_NE(saved.find("\nkensaku_word=dogs\nwindow_x=114\n"), std::string::npos);
}

TEST_F(OptionStoreTest, TypedReadsOfAnEmptyStoreGiveTheTableDefaultsAndSwitchesOff) {
    EXPECT_EQ(optionValue(OptionKey::PinnedMarks), 1);
    EXPECT_FALSE(optionIsOn(OptionKey::PinnedMarks)) << "a missing switch counts as not 1";
    EXPECT_FALSE(optionIsOn(OptionKey::FrameFixed));
    EXPECT_EQ(optionValue(OptionKey::FrameFixed), 0);
    EXPECT_EQ(optionValue(OptionKey::StackingOrder), kStackNormal);
    EXPECT_EQ(optionValue(OptionKey::SearchInterval), 25);
    EXPECT_EQ(optionValue(OptionKey::ResultCount), 20);
    EXPECT_EQ(optionValue(OptionKey::WindowWidth), 1500);
    EXPECT_EQ(optionValue(OptionKey::WindowHeight), 750);
    EXPECT_EQ(optionText(OptionKey::Keyword), "");
    EXPECT_FALSE(setOptionValue(OptionKey::StackingOrder, kStackBottom)) << "nothing loaded";
    EXPECT_EQ(optionValue(OptionKey::StackingOrder), kStackNormal);
}

TEST_F(OptionStoreTest, OnlySearchIntervalAndCountAreRangedAndOnlyOneSwitchesOn) {
    loadFrom("window_zzahyo=7\nkotei_render=-3\nwindow_kotei=9\nserch_ken=31\noriginal=2\n");
    EXPECT_EQ(optionValue(OptionKey::StackingOrder), 7) << "other values change nothing";
    EXPECT_EQ(optionValue(OptionKey::PinnedMarks), -3);
    EXPECT_EQ(optionValue(OptionKey::FrameFixed), 9);
    EXPECT_EQ(optionValue(OptionKey::OriginalImages), 2);
    EXPECT_FALSE(optionIsOn(OptionKey::OriginalImages)) << "only 1 is on";
    EXPECT_FALSE(optionIsOn(OptionKey::PinnedMarks));
    EXPECT_EQ(optionValue(OptionKey::ResultCount), 20) << "out of 10 to 30";

    clearOptions();
    loadFrom("kotei_render=1\nwindow_kotei=1\n");
    EXPECT_TRUE(optionIsOn(OptionKey::PinnedMarks));
    EXPECT_TRUE(optionIsOn(OptionKey::FrameFixed));
}
