#include "oauth/parameter_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;

namespace {

ParameterList split(std::string_view url, bool plusIsSpace) {
    ParameterList list;
    SplitUrlParameters(url, list, plusIsSpace);
    return list;
}

TEST(SplitUrlParameters, PlusBecomesSpaceOnlyWhenAsked) {
    EXPECT_THAT(split("https://h/s.json?q=a+b&count=20", true),
                ElementsAre("https://h/s.json", "q=a b", "count=20"));
    const ParameterList keptPlus = split("https://h/s.json?q=a+b&count=20", false);
    EXPECT_THAT(keptPlus, ElementsAre("https://h/s.json", "q=a+b", "count=20"));
    EXPECT_EQ(SerializeParameters(keptPlus, 1), "q=a%2Bb&count=20");
    EXPECT_EQ(SerializeParameters(split("https://h/s?q=a+b", true), 1), "q=a%20b");
}

TEST(SplitUrlParameters, DecodesWholeTokensInTheirOrder) {
    EXPECT_THAT(split("https://h/p?q=%E3%81%82&na%6De=v%3Dw&flag", false),
                ElementsAre("https://h/p", "q=\xE3\x81\x82", "name=v=w", "flag"));
}

TEST(SplitUrlParameters, RepeatedOrMisplacedDelimitersGiveNoEmptyEntries) {
    const auto expected = ElementsAre("https://h/p", "a=1", "b=2", "c=3");
    EXPECT_THAT(split("https://h/p?a=1&&b=2?c=3&", false), expected);
    EXPECT_THAT(split("https://h/p??a=1&b=2&&&c=3", false), expected);
    EXPECT_THAT(split("&https://h/p?a=1&b=2&c=3", false), expected);
}

TEST(SplitUrlParameters, DropsSignatureTokensInAnyLetterCase) {
    EXPECT_THAT(
        split("https://h/p?oauth_signature=x&a=1&OAuth_Signature=y&OAUTH_SIGNATURE=", false),
        ElementsAre("https://h/p", "a=1"));
    EXPECT_THAT(
        split("https://h/p?oauth_signatures=x&oauth_signature_method=HMAC-SHA1", false),
        ElementsAre("https://h/p", "oauth_signatures=x", "oauth_signature_method=HMAC-SHA1"));
}

TEST(SplitUrlParameters, ControlByteOneCarriesALiteralAmpersand) {
    const ParameterList list = split("https://h/p?q=tom\x01jerry&n=1", false);
    EXPECT_THAT(list, ElementsAre("https://h/p", "q=tom&jerry", "n=1"));
    EXPECT_EQ(SerializeParameters(list, 1), "q=tom%26jerry&n=1");
}

TEST(SplitUrlParameters, HostWithoutPathGetsARootPath) {
    EXPECT_THAT(split("https://example.com", false), ElementsAre("https://example.com/"));
    EXPECT_THAT(split("https://example.com?a=1", false),
                ElementsAre("https://example.com/", "a=1"));
    EXPECT_THAT(split("http://127.0.0.1:8080", false), ElementsAre("http://127.0.0.1:8080/"));
    EXPECT_THAT(split("https://example.com/x", false), ElementsAre("https://example.com/x"));
}

TEST(SplitUrlParameters, FirstPortEightyBeforeASlashIsDroppedWhateverTheScheme) {
    EXPECT_THAT(split("http://example.com:80/p?a=1", false),
                ElementsAre("http://example.com/p", "a=1"));
    EXPECT_THAT(split("http://example.com:80", false), ElementsAre("http://example.com/"));
    EXPECT_THAT(split("https://example.com:80/p", false), ElementsAre("https://example.com/p"));
    EXPECT_THAT(split("http://example.com/a:80/b", false), ElementsAre("http://example.com/a/b"));
    EXPECT_THAT(split("https://h:80/a:80/b", false), ElementsAre("https://h/a:80/b"));
    EXPECT_THAT(split("https://h/p?x=:80/", false), ElementsAre("https://h/p", "x=:80/"));
}

TEST(SplitUrlParameters, OtherPortsAndPortEightyWithoutSlashAreKept) {
    EXPECT_THAT(split("http://example.com:8080/p", false),
                ElementsAre("http://example.com:8080/p"));
    EXPECT_THAT(split("http://example.com:180/p", false), ElementsAre("http://example.com:180/p"));
    EXPECT_THAT(split("http://example.com:800/p", false), ElementsAre("http://example.com:800/p"));
    EXPECT_THAT(split("https://h/p:80", false), ElementsAre("https://h/p:80"));
}

TEST(SplitUrlParameters, AppendsAfterExistingEntries) {
    ParameterList list{"https://h/p", "a=1"};
    SplitUrlParameters("b=2&c=3", list, false);
    EXPECT_THAT(list, ElementsAre("https://h/p", "a=1", "b=2", "c=3"));
}

TEST(HasParameter, NeedsTheExactNameFollowedByEquals) {
    const ParameterList list{"https://h/p", "oauth_nonce_x=1", "oauth_timestamp=", "flag"};
    EXPECT_FALSE(HasParameter(list, "oauth_nonce"));
    EXPECT_TRUE(HasParameter(list, "oauth_timestamp"));
    EXPECT_FALSE(HasParameter(list, "flag"));
    EXPECT_FALSE(HasParameter(list, "oauth_timestam"));
    EXPECT_TRUE(HasParameter(ParameterList{"oauth_nonce=abc"}, "oauth_nonce"));
    EXPECT_FALSE(HasParameter(ParameterList{}, "a"));
}

TEST(CompareParameters, OrdersByNameBytesAndIgnoresValues) {
    EXPECT_EQ(CompareParameters("a=2", "a=1"), 0);
    EXPECT_LT(CompareParameters("a=9", "ab=1"), 0);
    EXPECT_GT(CompareParameters("ab=1", "a=9"), 0);
    EXPECT_LT(CompareParameters("oauth_nonce=x", "oauth_signature_method=y"), 0);
    EXPECT_LT(CompareParameters("B=1", "a=1"), 0);
    EXPECT_LT(CompareParameters("z=1", "\xE3=1"), 0);  // bytes compare unsigned
    EXPECT_TRUE(ParameterLess("count=1", "q=1"));
    EXPECT_FALSE(ParameterLess("q=1", "q=2"));
}

TEST(CompareParameters, BareWordsCompareByTheirEncodedForm) {
    // "a=1" encodes to "a%3D1" and "%" sorts before "b".
    EXPECT_LT(CompareParameters("a=1", "ab"), 0);
    EXPECT_LT(CompareParameters("a b", "a-b"), 0);  // %20 before "-"
    EXPECT_EQ(CompareParameters("same", "same"), 0);
}

TEST(SortParameters, SortsAfterTheBaseUrlAndKeepsEqualNamesInOrder) {
    ParameterList list{"zzz://h/p", "q=first", "count=20", "a=1", "q=second", "B=0"};
    SortParameters(list);
    EXPECT_THAT(list, ElementsAre("zzz://h/p", "B=0", "a=1", "count=20", "q=first", "q=second"));

    ParameterList longList{"https://h/"};
    for (int i = 0; i < 40; ++i) {
        longList.push_back((i % 2 ? "b=" : "a=") + std::to_string(i));
    }
    SortParameters(longList);
    for (std::size_t i = 1; i + 1 < longList.size(); ++i) {
        ASSERT_LE(CompareParameters(longList[i], longList[i + 1]), 0);
    }
    EXPECT_EQ(longList[1], "a=0");
    EXPECT_EQ(longList[20], "a=38");
    EXPECT_EQ(longList[21], "b=1");

    ParameterList onlyBase{"https://h/"};
    SortParameters(onlyBase);
    EXPECT_THAT(onlyBase, ElementsAre("https://h/"));
}

TEST(SerializeParameters, FromOneGivesThePairStringFromZeroTheUrl) {
    const ParameterList list{"https://h/p", "flag", "q=a b"};
    EXPECT_EQ(SerializeParameters(list, 1), "flag=&q=a%20b");
    EXPECT_EQ(SerializeParameters(list, 0), "https://h/p?flag=&q=a%20b");
    EXPECT_EQ(SerializeParameters(ParameterList{"https://h/p"}, 1), "");
    EXPECT_EQ(SerializeParameters(ParameterList{"https://h/p"}, 0), "https://h/p?");
    EXPECT_EQ(SerializeParameters(list, 3), "");
}

TEST(SerializeParameters, EncodesNamesAndValuesButNotTheBaseUrl) {
    const ParameterList list{"https://h/p", "k y=v=w&x", "\xE3=1"};
    EXPECT_EQ(SerializeParameters(list, 0), "https://h/p?k%20y=v%3Dw%26x&%E3=1");
}

TEST(SerializeParameters, EntryZeroWithoutSchemeIsAnOrdinaryPair) {
    EXPECT_EQ(SerializeParameters(ParameterList{"a=1", "b=2"}, 0), "a=1&b=2");
}

TEST(SerializeParameters, BareWordsAreWrittenUnencoded) {
    const ParameterList list = split("https://h/p?tom%26jerry&a%20b&%E3%81%82", false);
    EXPECT_EQ(SerializeParameters(list, 0), "https://h/p?tom&jerry=&a b=&\xE3\x81\x82=");
    EXPECT_EQ(SerializeParameters(ParameterList{"https://h/p", "a b", "c=d e"}, 1), "a b=&c=d%20e");
}

}  // namespace
