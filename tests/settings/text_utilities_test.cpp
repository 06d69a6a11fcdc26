#include "settings/text_utilities.h"

#include <gtest/gtest.h>

namespace {

TEST(ScanLeadingNumber, HoldsALongRunAtTheCapAndLeavesWhatFollows) {
    const LeadingNumber huge = scanLeadingNumber(" -99999999999999999999999 rest", 1000);
    EXPECT_TRUE(huge.negative);
    EXPECT_TRUE(huge.hasDigits);
    EXPECT_EQ(huge.magnitude, 1000u);
    EXPECT_EQ(huge.rest, " rest");

    EXPECT_EQ(scanLeadingNumber("1000", 1000).magnitude, 1000u);
    EXPECT_EQ(scanLeadingNumber("1001", 1000).magnitude, 1000u);
    EXPECT_EQ(scanLeadingNumber("18446744073709551615", UINT64_MAX).magnitude, UINT64_MAX);

    const LeadingNumber none = scanLeadingNumber(" +x", 1000);
    EXPECT_FALSE(none.hasDigits);
    EXPECT_EQ(none.rest, " +x");
}

TEST(IgnoringCase, FoldsOnlyAsciiLettersAndRespectsLengths) {
    EXPECT_TRUE(equalsIgnoringCase("Content-LENGTH", "content-length"));
    EXPECT_FALSE(equalsIgnoringCase("content-length", "content-lengths"));
    EXPECT_FALSE(equalsIgnoringCase("\xC9", "\xE9")) << "Latin-1 É and é are other bytes";
    EXPECT_FALSE(equalsIgnoringCase("@", "`")) << "0x40 and 0x60 differ by the case bit only";
    EXPECT_TRUE(startsWithIgnoringCase("OAuth_Signature=x", "oauth_signature="));
    EXPECT_FALSE(startsWithIgnoringCase("oauth", "oauth_signature="));
    EXPECT_TRUE(endsWithIgnoringCase("a/B.JPEG", ".jpeg"));
    EXPECT_FALSE(endsWithIgnoringCase("jpg", ".jpg"));
}

TEST(AsciiClasses, KeepToTheCLocaleSets) {
    for (const char c : {' ', '\t', '\n', '\v', '\f', '\r'}) {
        EXPECT_TRUE(isAsciiSpace(c)) << int{c};
    }
    for (const char c : {'\0', '\x08', '\x0E', '\x85', '\xA0', 'a'}) {
        EXPECT_FALSE(isAsciiSpace(c)) << int{c};
    }
    EXPECT_TRUE(isAsciiDigit('0') && isAsciiDigit('9'));
    EXPECT_FALSE(isAsciiDigit('/') || isAsciiDigit(':') || isAsciiDigit('\xB2'));
}

}  // namespace
