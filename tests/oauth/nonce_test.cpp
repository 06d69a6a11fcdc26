#include "oauth/nonce.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "oauth/signing_clock.h"

namespace {

constexpr std::string_view kAlphabet =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";

TEST(MakeNonce, ManyNoncesAreDistinctWellFormedAndCoverTheRanges) {
    std::set<std::string> seen;
    std::set<std::size_t> lengths;
    std::set<char> characters;
    constexpr int kCount = 5000;
    for (int i = 0; i < kCount; ++i) {
        const std::string nonce = MakeNonce();
        ASSERT_GE(nonce.size(), 15u);
        ASSERT_LE(nonce.size(), 30u);
        ASSERT_EQ(nonce.find_first_not_of(kAlphabet), std::string::npos) << nonce;
        seen.insert(nonce);
        lengths.insert(nonce.size());
        characters.insert(nonce.begin(), nonce.end());
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kCount));
    EXPECT_EQ(lengths.size(), 16u);
    EXPECT_EQ(characters.size(), kAlphabet.size());
}

// With 63 characters a plain "byte % 63" would make the first four about 25% more
// frequent than the rest; over ~110 000 characters that is far outside chance.
TEST(MakeNonce, CharactersAreDrawnWithoutModuloBias) {
    std::size_t counts[256] = {};
    std::size_t total = 0;
    for (int i = 0; i < 5000; ++i) {
        for (char c : MakeNonce()) {
            ++counts[static_cast<unsigned char>(c)];
            ++total;
        }
    }
    const double expected = static_cast<double>(total) / kAlphabet.size();
    double firstFour = 0;
    for (char c : kAlphabet.substr(0, 4)) {
        firstFour += counts[static_cast<unsigned char>(c)];
    }
    EXPECT_LT(firstFour / 4, expected * 1.12);
    EXPECT_GT(firstFour / 4, expected * 0.88);
}

TEST(SigningClock, PinnedSourcesAreUsedUntilReset) {
    setSigningClock([] { return std::int64_t{5}; });
    setNonceSource([] { return std::string("fixed"); });
    EXPECT_EQ(signingTimeNow(), 5);
    EXPECT_EQ(signingNonce(), "fixed");
    resetSigningClockAndNonce();
    EXPECT_GT(signingTimeNow(), 1600000000);
    const std::string drawn = signingNonce();
    EXPECT_NE(drawn, "fixed");
    EXPECT_GE(drawn.size(), 15u);
}

}  // namespace
