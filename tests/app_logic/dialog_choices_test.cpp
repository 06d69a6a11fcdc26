#include <gtest/gtest.h>

#include <array>
#include <string>

#include "app/logic/dialog_choices.h"
#include "settings/option_store.h"
#include "tests/support/option_lookup.h"
#include "tests/support/temp_folder.h"

namespace {

class DialogChoicesTest : public ::testing::Test {
  protected:
    void TearDown() override { clearOptions(); }

    void loadFrom(const std::string& bytes) {
        writeBytes(optionFile(), bytes);
        loadOptions(optionFile(), OptionDefaults{1920, 1080});
    }

    std::string savedFile() {
        EXPECT_TRUE(saveOptions());
        return readBytes(optionFile());
    }

    std::filesystem::path optionFile() const { return scratch.path() / "tva_option.txt"; }

    TempFolder scratch;
};

// Every key, in table order, with values that differ from the defaults.
const std::string kStored =
    "kotei_render=0\nwindow_wid=640\nwindow_hei=480\nwindow_kotei=1\nwindow_zzahyo=2\n"
    "serch_byo=25\nserch_ken=30\nsyokeikoku=1\noriginal=1\nkaku_kousin=0\nkaku_fukusuu=1\n"
    "kaku_tubuyaki=1\nkensaku_word=\x93\x8c\x8b\x9e\nwindow_x=7\nwindow_y=8\n";

TEST(DialogChoiceButtons, StoredValuesSelectTheirButtonAndAnyOtherTheLast) {
    EXPECT_EQ(selectedChoice(15, kIntervalChoices), 15);
    EXPECT_EQ(selectedChoice(25, kIntervalChoices), 25);
    EXPECT_EQ(selectedChoice(35, kIntervalChoices), 35);
    EXPECT_EQ(selectedChoice(30, kIntervalChoices), 35);
    EXPECT_EQ(selectedChoice(40, kIntervalChoices), 35);
    EXPECT_EQ(selectedChoice(-15, kIntervalChoices), 35);
    EXPECT_EQ(selectedChoice(10, kCountChoices), 10);
    EXPECT_EQ(selectedChoice(20, kCountChoices), 20);
    EXPECT_EQ(selectedChoice(15, kCountChoices), 30);
    EXPECT_EQ(selectedChoice(0, kCountChoices), 30);
}

TEST(DialogChoiceButtons, TheFirstCheckedButtonGivesTheValueAndNoneGivesNothing) {
    EXPECT_EQ(checkedChoice(std::array{true, false, false}, kIntervalChoices), 15);
    EXPECT_EQ(checkedChoice(std::array{false, true, false}, kIntervalChoices), 25);
    EXPECT_EQ(checkedChoice(std::array{false, false, true}, kCountChoices), 30);
    EXPECT_EQ(checkedChoice(std::array{false, true, true}, kCountChoices), 20);
    EXPECT_EQ(checkedChoice(std::array{false, false, false}, kCountChoices), std::nullopt);
}

TEST_F(DialogChoicesTest, TheDialogOpensWithTheStoredValues) {
    loadFrom(kStored);
    const SettingsChoices choices = loadSettingsChoices();
    EXPECT_EQ(choices.keyword, "\x93\x8c\x8b\x9e");
    EXPECT_EQ(choices.searchInterval, 25);
    EXPECT_EQ(choices.resultCount, 30);
    EXPECT_TRUE(choices.warnFewResults);
    EXPECT_TRUE(choices.originalImages);
    EXPECT_FALSE(choices.updateWhileEnlarged);
    EXPECT_TRUE(choices.allowSeveral);
    EXPECT_TRUE(choices.attachMessage);

    clearOptions();
    loadFrom("serch_byo=30\nserch_ken=15\nsyokeikoku=7\noriginal=-1\nkaku_kousin=2\n");
    const SettingsChoices other = loadSettingsChoices();
    EXPECT_EQ(other.searchInterval, 35) << "a value between the buttons selects the last";
    EXPECT_EQ(other.resultCount, 30);
    EXPECT_TRUE(other.warnFewResults) << "any value but 0 checks a box";
    EXPECT_TRUE(other.originalImages);
    EXPECT_TRUE(other.updateWhileEnlarged);
}

TEST_F(DialogChoicesTest, OkWithNothingChangedKeepsEveryStoredValue) {
    loadFrom(kStored);
    EXPECT_FALSE(storeSettingsChoices(loadSettingsChoices()));
    EXPECT_EQ(savedFile(), kStored);
}

TEST_F(DialogChoicesTest, OkStoresTheControlsAndOnlyTheNineOptions) {
    loadFrom(kStored);
    SettingsChoices choices;
    choices.keyword = "dogs";
    choices.searchInterval = 15;
    choices.resultCount = 10;
    choices.updateWhileEnlarged = true;
    EXPECT_TRUE(storeSettingsChoices(choices)) << "kaku_kousin is now 1";
    EXPECT_EQ(savedFile(),
              "kotei_render=0\nwindow_wid=640\nwindow_hei=480\nwindow_kotei=1\nwindow_zzahyo=2\n"
              "serch_byo=15\nserch_ken=10\nsyokeikoku=0\noriginal=0\nkaku_kousin=1\n"
              "kaku_fukusuu=0\nkaku_tubuyaki=0\nkensaku_word=dogs\nwindow_x=7\nwindow_y=8\n");
}

TEST_F(DialogChoicesTest, AGroupWithoutACheckedButtonLeavesItsOptionAndAnEmptyKeywordIsKept) {
    loadFrom(kStored);
    SettingsChoices choices = loadSettingsChoices();
    choices.searchInterval.reset();
    choices.resultCount.reset();
    choices.keyword.clear();
    storeSettingsChoices(choices);
    EXPECT_EQ(optionOr("serch_byo", 0), 25);
    EXPECT_EQ(optionOr("serch_ken", 0), 30);
    std::string keyword = "absent";
    ASSERT_TRUE(getOption("kensaku_word", nullptr, &keyword));
    EXPECT_EQ(keyword, "");
    EXPECT_NE(savedFile().find("\nkensaku_word=\n"), std::string::npos);
}

}  // namespace
