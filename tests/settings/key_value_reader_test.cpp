#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "settings/option_store.h"

namespace {

std::vector<std::string> piecesOfStream(const std::string& bytes) {
    std::istringstream in(bytes);
    std::vector<std::string> pieces;
    std::string piece;
    while (readLinePiece(in, piece)) {
        pieces.push_back(piece);
    }
    return pieces;
}

std::vector<std::string> piecesOfFile(const std::string& bytes) {
    std::FILE* file = std::tmpfile();
    if (file == nullptr) {
        ADD_FAILURE() << "no temporary file";
        return {};
    }
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    std::vector<std::string> pieces;
    std::string piece;
    while (readLinePiece(file, piece)) {
        pieces.push_back(piece);
    }
    std::fclose(file);
    return pieces;
}

// A table shaped like the option loader's, over a few of its keys.
struct SampleTable {
    std::int32_t wid = -1;
    std::int32_t hei = -1;
    std::int32_t original = -1;
    std::string word = "unset";
    std::int32_t x = -1;
    std::array<KeyTarget, 5> rows{{
        {"window_wid", &wid, nullptr},
        {"window_hei", &hei, nullptr},
        {"original", &original, nullptr},
        {"kensaku_word", nullptr, &word},
        {"window_x", &x, nullptr},
    }};

    void apply(std::string_view line) { applyKeyValueLine(line, rows); }
    bool found(std::size_t row) const { return rows[row].found; }
};

}  // namespace

TEST(LinePieces, SplitAtLineFeedsAndEveryThousandBytes) {
    const std::string longLine(1500, 'a');
    const std::string input = "one\n\ntwo\n" + longLine + "\nlast";
    const std::vector<std::string> expected = {
        "one\n", "\n", "two\n", std::string(1000, 'a'), std::string(500, 'a') + "\n", "last"};
    EXPECT_EQ(piecesOfStream(input), expected);
    EXPECT_EQ(piecesOfFile(input), expected);
}

TEST(LinePieces, ExactlyThousandBytesWithLineFeedIsOnePiece) {
    const std::string line = std::string(999, 'b') + "\n";
    EXPECT_EQ(piecesOfStream(line + "c\n"), (std::vector<std::string>{line, "c\n"}));
}

TEST(LinePieces, EmbeddedNulEndsThePieceButTheLineIsConsumed) {
    const std::string input = std::string("ab\0cd\nef\n", 9);
    const std::vector<std::string> expected = {"ab", "ef\n"};
    EXPECT_EQ(piecesOfStream(input), expected);
    EXPECT_EQ(piecesOfFile(input), expected);
}

TEST(LinePieces, NoInputReadsNothing) {
    EXPECT_TRUE(piecesOfStream("").empty());
    std::string piece = "stale";
    EXPECT_FALSE(readLinePiece(static_cast<std::FILE*>(nullptr), piece));
    std::array<KeyTarget, 1> table{{{"window_x", nullptr, nullptr}}};
    EXPECT_FALSE(readKeyValueLine(static_cast<std::FILE*>(nullptr), table));
}

TEST(LeadingInt, ReadsLikeAtoi) {
    EXPECT_EQ(parseLeadingInt("42"), 42);
    EXPECT_EQ(parseLeadingInt("-17"), -17);
    EXPECT_EQ(parseLeadingInt("+8"), 8);
    EXPECT_EQ(parseLeadingInt(" \t\r\v\f\n12"), 12);
    EXPECT_EQ(parseLeadingInt("30px"), 30);
    EXPECT_EQ(parseLeadingInt("abc"), 0);
    EXPECT_EQ(parseLeadingInt(""), 0);
    EXPECT_EQ(parseLeadingInt("- 3"), 0);
    EXPECT_EQ(parseLeadingInt("--3"), 0);
    EXPECT_EQ(parseLeadingInt("1 2"), 1);
}

TEST(LeadingInt, SaturatesAtThe32BitLimits) {
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(parseLeadingInt("2147483647"), kMax);
    EXPECT_EQ(parseLeadingInt("-2147483648"), kMin);
    EXPECT_EQ(parseLeadingInt("2147483648"), kMax);
    EXPECT_EQ(parseLeadingInt("-2147483649"), kMin);
    EXPECT_EQ(parseLeadingInt("99999999999999999999999999"), kMax);
    EXPECT_EQ(parseLeadingInt("-99999999999999999999999999"), kMin);
}

TEST(KeyValueLine, ValueRunsToCommaOrEndOfLine) {
    SampleTable table;
    table.apply("kensaku_word=cats,dogs\n");
    EXPECT_TRUE(table.found(3));
    EXPECT_EQ(table.word, "cats");

    SampleTable plain;
    plain.apply("kensaku_word=cats dogs\n");
    EXPECT_EQ(plain.word, "cats dogs");

    SampleTable noLineFeed;
    noLineFeed.apply("window_x=-25");
    EXPECT_EQ(noLineFeed.x, -25);

    SampleTable spaces;
    spaces.apply("kensaku_word= padded \n");
    EXPECT_EQ(spaces.word, " padded ");
}

TEST(KeyValueLine, BareKeyNameAfterValueDropsItUnlessACommaFollows) {
    SampleTable table;
    table.apply("kensaku_word=original art\n");
    EXPECT_FALSE(table.found(3));
    EXPECT_EQ(table.word, "unset");
    EXPECT_FALSE(table.found(2)) << "a bare name without '=' sets nothing";

    SampleTable inMiddle;
    inMiddle.apply("kensaku_word=my window_x photos\n");
    EXPECT_FALSE(inMiddle.found(3));

    SampleTable withComma;
    withComma.apply("kensaku_word=original art,\n");
    EXPECT_EQ(withComma.word, "original art");
}

TEST(KeyValueLine, KeyMatchesAnywhereInTheLine) {
    SampleTable table;
    table.apply("xwindow_x=7\n");
    EXPECT_EQ(table.x, 7);

    SampleTable prefixed;
    prefixed.apply("some text window_wid=640\n");
    EXPECT_EQ(prefixed.wid, 640);
}

TEST(KeyValueLine, SeveralKeysOnOneLineOnlyInTableOrder) {
    SampleTable inOrder;
    inOrder.apply("window_wid=800,window_hei=600\n");
    EXPECT_EQ(inOrder.wid, 800);
    EXPECT_EQ(inOrder.hei, 600);

    SampleTable reversed;
    reversed.apply("window_hei=600,window_wid=800\n");
    EXPECT_EQ(reversed.wid, 800);
    EXPECT_FALSE(reversed.found(1));
    EXPECT_EQ(reversed.hei, -1);
}

TEST(KeyValueLine, ZeroLengthValuesAreIgnored) {
    SampleTable table;
    table.apply("window_x=\n");
    table.apply("window_wid=,window_hei=5\n");
    table.apply("kensaku_word=\n");
    EXPECT_FALSE(table.found(0));
    EXPECT_FALSE(table.found(3));
    EXPECT_FALSE(table.found(4));
    EXPECT_EQ(table.x, -1);
    EXPECT_EQ(table.word, "unset");
    EXPECT_EQ(table.hei, 5);
}

TEST(KeyValueLine, LaterLinesOverrideEarlierOnes) {
    SampleTable table;
    table.apply("kensaku_word=first\n");
    table.apply("window_x=3\n");
    table.apply("kensaku_word=second\n");
    table.apply("unrelated=9\n");
    EXPECT_EQ(table.word, "second");
    EXPECT_EQ(table.x, 3);
}

TEST(KeyValueLine, ValuesAreCutAt255Bytes) {
    SampleTable table;
    const std::string longWord(300, 'w');
    table.apply("kensaku_word=" + longWord + "\n");
    EXPECT_EQ(table.word, longWord.substr(0, kMaxValueBytes));

    SampleTable digits;
    digits.apply("window_x=" + std::string(254, '0') + "12\n");
    EXPECT_EQ(digits.x, 1) << "only the first 255 bytes are converted";
}

TEST(KeyValueLine, CutValuesAreFlaggedAndOnlyThose) {
    struct Case {
        std::string line;
        bool truncated;
    };
    const Case cases[] = {
        {"kensaku_word=" + std::string(255, 'w') + "\n", false},
        {"kensaku_word=" + std::string(256, 'w') + "\n", true},
        {"kensaku_word=" + std::string(300, 'w') + ",window_x=1\n", true},
        {"kensaku_word=" + std::string(255, 'w') + ",window_x=1\n", false},
        {"kensaku_word=short\n", false},
    };
    for (const Case& c : cases) {
        SampleTable table;
        table.apply(c.line);
        EXPECT_TRUE(table.found(3));
        EXPECT_EQ(table.rows[3].truncated, c.truncated) << c.line.size() << " bytes";
        EXPECT_FALSE(table.rows[4].truncated);
    }

    // Integers are flagged the same way; the flag follows the value last received.
    SampleTable table;
    table.apply("window_x=" + std::string(300, '7') + "\n");
    EXPECT_TRUE(table.rows[4].truncated);
    table.apply("window_x=5\n");
    EXPECT_FALSE(table.rows[4].truncated);
    table.apply("kensaku_word=" + std::string(400, 'k') + "\n");
    table.apply("kensaku_word=\n");
    EXPECT_TRUE(table.rows[3].truncated) << "an ignored empty value leaves the last one";
    EXPECT_EQ(table.word, std::string(255, 'k'));
}

TEST(KeyValueLine, MultibyteBytesArePreserved) {
    // Shift-JIS for a Japanese phrase; 0x5C and 0x40 appear as trail bytes.
    const std::string shiftJis = "\x95\x5c\x8e\xa6\x83\x40\x94\x4c\x82\xcc\x8e\xca\x90\x5e";
    SampleTable table;
    table.apply("kensaku_word=" + shiftJis + "\n");
    EXPECT_EQ(table.word, shiftJis);

    const std::string utf8 = "\xe7\x8c\xab\xe3\x81\xae\xe5\x86\x99\xe7\x9c\x9f";
    SampleTable other;
    other.apply("kensaku_word=" + utf8 + "\n");
    EXPECT_EQ(other.word, utf8);
}

TEST(KeyValueLine, StreamReaderHandlesLongLinesPieceByPiece) {
    // The key straddles the 1000-byte boundary: the first piece ends after "window_x=1" and
    // the rest of the digits form a line of their own.
    std::istringstream in(std::string(990, 'z') + "window_x=123456\nwindow_hei=300\n");
    SampleTable table;
    int lines = 0;
    while (readKeyValueLine(in, table.rows)) {
        ++lines;
    }
    EXPECT_EQ(lines, 3);
    EXPECT_EQ(table.x, 1);
    EXPECT_EQ(table.hei, 300);
}

TEST(KeyValueLine, PinnedTileShapedLines) {
    std::string name;
    std::int32_t x = -1;
    std::int32_t y = -1;
    std::array<KeyTarget, 3> rows{{
        {"name", nullptr, &name},
        {"x", &x, nullptr},
        {"y", &y, nullptr},
    }};
    std::istringstream in("name=https://pbs.example/media/Ab-9.jpg,x=3,y=4\n");
    ASSERT_TRUE(readKeyValueLine(in, rows));
    EXPECT_EQ(name, "https://pbs.example/media/Ab-9.jpg");
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 4);
    EXPECT_TRUE(rows[0].found && rows[1].found && rows[2].found);
    EXPECT_FALSE(readKeyValueLine(in, rows));
}
