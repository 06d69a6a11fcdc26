#include "oauth/percent_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PercentEncode, KeepsOnlyTheUnreservedSetAndUsesUppercaseHex) {
    EXPECT_EQ(PercentEncode("a b+d"), "a%20b%2Bd");
    EXPECT_EQ(PercentEncode("~._-"), "~._-");
    EXPECT_EQ(PercentEncode("AZaz09"), "AZaz09");
    EXPECT_EQ(PercentEncode("=&/:"), "%3D%26%2F%3A");
    EXPECT_EQ(PercentEncode("\xE3\x81\x82"), "%E3%81%82");
    EXPECT_EQ(PercentEncode("!*'()"), "%21%2A%27%28%29");
    EXPECT_EQ(PercentEncode("\x7F\x01\xFF"), "%7F%01%FF");
    EXPECT_EQ(PercentEncode(""), "");
    EXPECT_EQ(PercentEncode({}), "");
}

TEST(PercentEncode, EveryByteRoundTripsThroughDecode) {
    std::string allBytes;
    for (int byte = 1; byte < 256; ++byte) {
        allBytes.push_back(static_cast<char>(byte));
    }
    const std::string encoded = PercentEncode(allBytes);
    EXPECT_EQ(encoded.size(), 66 + 3 * (255 - 66));
    EXPECT_EQ(PercentDecode(encoded), allBytes);
}

TEST(PercentDecode, DecodesEitherCaseAndCopiesMalformedEscapes) {
    EXPECT_EQ(PercentDecode("%e3%81%82"), "\xE3\x81\x82");
    EXPECT_EQ(PercentDecode("%E3%81%82"), "\xE3\x81\x82");
    EXPECT_EQ(PercentDecode("a%4"), "a%4");
    EXPECT_EQ(PercentDecode("%"), "%");
    EXPECT_EQ(PercentDecode("%zz%"), "%zz%");
    EXPECT_EQ(PercentDecode("%g1x"), "%g1x");
    EXPECT_EQ(PercentDecode("a+b"), "a+b");
    EXPECT_EQ(PercentDecode("%25%32%35"), "%25");
    EXPECT_EQ(PercentDecode(""), "");
}

TEST(PercentDecode, DecodedZeroByteEndsTheText) {
    EXPECT_EQ(PercentDecode("abc%00def"), "abc");
    EXPECT_EQ(PercentDecode("%00"), "");
}

TEST(JoinEncoded, EncodesEachPartAndJoinsWithAmpersands) {
    EXPECT_EQ(JoinEncoded({"secret", {}}), "secret&");
    EXPECT_EQ(JoinEncoded({"se&cret", "tok en"}), "se%26cret&tok%20en");
    EXPECT_EQ(JoinEncoded({"GET", "https://h/p", "a=1&b=2"}),
              "GET&https%3A%2F%2Fh%2Fp&a%3D1%26b%3D2");
    EXPECT_EQ(JoinEncoded({"only"}), "only");
    EXPECT_EQ(JoinEncoded({}), "");
}

}  // namespace
