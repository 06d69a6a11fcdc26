#include "oauth/sha1.h"

#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <string>

#include "digest_hex.h"

namespace {

std::string sha1Hex(std::span<const std::uint8_t> message) {
    Sha1Context context;
    Sha1Reset(&context);
    EXPECT_EQ(Sha1Input(&context, message.data(), message.size()), kSha1Success);
    Sha1Digest digest{};
    EXPECT_EQ(Sha1Result(&context, &digest), kSha1Success);
    return toHex(digest);
}

std::string openSslSha1Hex(std::span<const std::uint8_t> message) {
    std::uint8_t digest[SHA_DIGEST_LENGTH];
    SHA1(message.data(), message.size(), digest);
    return toHex(digest);
}

TEST(Sha1, PublishedVectors) {
    struct Vector {
        std::string message;
        const char* hex;
    };
    const Vector vectors[] = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
         "lmnopqrsmnopqrstnopqrstu",
         "a49b2446a02c645bf419f995b67091253a04a259"},
        {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    for (const Vector& vector : vectors) {
        EXPECT_EQ(sha1Hex(bytesOf(vector.message)), vector.hex)
            << "message of " << vector.message.size() << " bytes";
    }
}

TEST(Sha1, MillionAsFedInPiecesMatchesPublishedDigest) {
    const std::string thousand(1000, 'a');
    Sha1Context context;
    Sha1Reset(&context);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(Sha1Input(&context, bytesOf(thousand).data(), thousand.size()), kSha1Success);
    }
    Sha1Digest digest{};
    ASSERT_EQ(Sha1Result(&context, &digest), kSha1Success);
    EXPECT_EQ(toHex(digest), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

// Covers every padding case: lengths 55, 56, 63 and 64 modulo 64 over three blocks.
TEST(Sha1, AgreesWithOpenSslAtEveryLengthAroundBlockBoundaries) {
    for (std::size_t length = 0; length <= 200; ++length) {
        const auto message = patternBytes(length, static_cast<std::uint32_t>(length));
        EXPECT_EQ(sha1Hex(message), openSslSha1Hex(message)) << "length " << length;
    }
}

TEST(Sha1, StreamingInOddPiecesGivesTheOneShotDigest) {
    const auto message = patternBytes(1031, 7);
    for (std::size_t pieceSize : {1u, 3u, 7u, 13u, 55u, 63u, 64u, 65u, 127u}) {
        Sha1Context context;
        Sha1Reset(&context);
        for (std::size_t offset = 0; offset < message.size(); offset += pieceSize) {
            const std::size_t length = std::min(pieceSize, message.size() - offset);
            ASSERT_EQ(Sha1Input(&context, message.data() + offset, length), kSha1Success);
        }
        Sha1Digest digest{};
        ASSERT_EQ(Sha1Result(&context, &digest), kSha1Success);
        EXPECT_EQ(toHex(digest), openSslSha1Hex(message)) << "pieces of " << pieceSize;
    }
}

TEST(Sha1, StatusCodesForMissingArgumentsAndMisuse) {
    const std::uint8_t byte = 'x';
    Sha1Digest digest{};
    EXPECT_EQ(Sha1Input(nullptr, nullptr, 0), kSha1Success);
    EXPECT_EQ(Sha1Input(nullptr, &byte, 1), kSha1MissingArgument);
    EXPECT_EQ(Sha1Result(nullptr, &digest), kSha1MissingArgument);

    Sha1Context context;
    Sha1Reset(&context);
    EXPECT_EQ(Sha1Input(&context, nullptr, 1), kSha1MissingArgument);
    EXPECT_EQ(Sha1Result(&context, nullptr), kSha1MissingArgument);
    // The failed calls above must not have disturbed the computation.
    ASSERT_EQ(Sha1Input(&context, reinterpret_cast<const std::uint8_t*>("abc"), 3), kSha1Success);
    ASSERT_EQ(Sha1Result(&context, &digest), kSha1Success);
    EXPECT_EQ(toHex(digest), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(Sha1, ResultIsRepeatableAndLaterInputIsRefused) {
    Sha1Context context;
    Sha1Reset(&context);
    ASSERT_EQ(Sha1Input(&context, reinterpret_cast<const std::uint8_t*>("abc"), 3), kSha1Success);
    Sha1Digest first{};
    ASSERT_EQ(Sha1Result(&context, &first), kSha1Success);
    Sha1Digest second{};
    ASSERT_EQ(Sha1Result(&context, &second), kSha1Success);
    EXPECT_EQ(first, second);

    const std::uint8_t more = 'd';
    EXPECT_EQ(Sha1Input(&context, &more, 1), kSha1InputAfterResult);
    Sha1Digest afterMisuse;
    afterMisuse.fill(0xEE);
    EXPECT_EQ(Sha1Result(&context, &afterMisuse), kSha1InputAfterResult);
    Sha1Digest untouched;
    untouched.fill(0xEE);
    EXPECT_EQ(afterMisuse, untouched);
    EXPECT_EQ(toHex(first), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(Sha1, MessageReachingTwoToTheSixtyFourBitsIsReportedAsAnError) {
    Sha1Context context;
    Sha1Reset(&context);
    context.bitCountHigh = 0xFFFFFFFFu;
    context.bitCountLow = 0xFFFFFFF8u;
    const std::uint8_t bytes[2] = {1, 2};
    EXPECT_EQ(Sha1Input(&context, bytes, 2), kSha1InputTooLong);
    EXPECT_EQ(context.error, kSha1InputTooLong);
    Sha1Digest digest{};
    EXPECT_EQ(Sha1Result(&context, &digest), kSha1InputTooLong);
    EXPECT_EQ(Sha1Input(&context, bytes, 1), kSha1InputTooLong);
}

}  // namespace
