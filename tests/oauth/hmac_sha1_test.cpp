#include "oauth/hmac_sha1.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <string>
#include <vector>

#include "digest_hex.h"
#include "oauth/base64.h"

namespace {

std::vector<std::uint8_t> repeated(std::uint8_t byte, std::size_t count) {
    return std::vector<std::uint8_t>(count, byte);
}

std::vector<std::uint8_t> asVector(std::string_view text) {
    return {text.begin(), text.end()};
}

std::string openSslHmacHex(std::span<const std::uint8_t> key,
                           std::span<const std::uint8_t> message) {
    std::uint8_t mac[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    static const std::uint8_t kNoKey = 0;
    HMAC(EVP_sha1(), key.empty() ? &kNoKey : key.data(), static_cast<int>(key.size()),
         message.data(), message.size(), mac, &length);
    return toHex(std::span<const std::uint8_t>(mac, length));
}

std::string openSslBase64(std::span<const std::uint8_t> bytes) {
    std::string encoded(4 * ((bytes.size() + 2) / 3), '\0');
    EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()), bytes.data(),
                    static_cast<int>(bytes.size()));
    return encoded;
}

TEST(HmacSha1, Rfc2202TestCases) {
    std::vector<std::uint8_t> counting;
    for (std::uint8_t i = 1; i <= 25; ++i) {
        counting.push_back(i);
    }
    struct Case {
        std::vector<std::uint8_t> key;
        std::vector<std::uint8_t> message;
        const char* hex;
    };
    const Case cases[] = {
        {repeated(0x0b, 20), asVector("Hi There"), "b617318655057264e28bc0b6fb378c8ef146be00"},
        {asVector("Jefe"), asVector("what do ya want for nothing?"),
         "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
        {repeated(0xaa, 20), repeated(0xdd, 50), "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
        {counting, repeated(0xcd, 50), "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
        {repeated(0x0c, 20), asVector("Test With Truncation"),
         "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
        {repeated(0xaa, 80), asVector("Test Using Larger Than Block-Size Key - Hash Key First"),
         "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
        {repeated(0xaa, 80),
         asVector("Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data"),
         "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
    };
    int number = 1;
    for (const Case& c : cases) {
        EXPECT_EQ(toHex(HmacSha1(c.key, c.message)), c.hex) << "RFC 2202 case " << number;
        ++number;
    }
}

// Key lengths around the 64-byte block (used directly up to 64, hashed from 65) and
// message lengths around the SHA-1 padding boundaries, against OpenSSL's HMAC.
TEST(HmacSha1, AgreesWithOpenSslAcrossKeyAndMessageLengths) {
    for (std::size_t keyLength : {0u, 1u, 20u, 63u, 64u, 65u, 80u, 130u}) {
        const auto key = patternBytes(keyLength, static_cast<std::uint32_t>(keyLength) + 100);
        for (std::size_t messageLength : {0u, 1u, 55u, 56u, 63u, 64u, 119u, 200u}) {
            const auto message =
                patternBytes(messageLength, static_cast<std::uint32_t>(messageLength));
            EXPECT_EQ(toHex(HmacSha1(key, message)), openSslHmacHex(key, message))
                << "key " << keyLength << ", message " << messageLength;
        }
    }
}

TEST(HmacSha1, KeyLongerThanABlockActsAsItsDigest) {
    const auto longKey = patternBytes(65, 3);
    Sha1Context context;
    Sha1Reset(&context);
    Sha1Input(&context, longKey.data(), longKey.size());
    Sha1Digest keyDigest{};
    ASSERT_EQ(Sha1Result(&context, &keyDigest), kSha1Success);
    const auto message = asVector("message");
    EXPECT_EQ(HmacSha1(longKey, message), HmacSha1(keyDigest, message));

    // A 64-byte key is not hashed: it differs from the HMAC under its own digest.
    const auto blockKey = patternBytes(64, 3);
    Sha1Reset(&context);
    Sha1Input(&context, blockKey.data(), blockKey.size());
    ASSERT_EQ(Sha1Result(&context, &keyDigest), kSha1Success);
    EXPECT_NE(HmacSha1(blockKey, message), HmacSha1(keyDigest, message));
}

TEST(Base64EncodeDigest, MatchesOpenSslAndAlwaysHasTwentyEightCharacters) {
    EXPECT_EQ(Base64EncodeDigest(nullptr), "");
    for (std::uint32_t seed = 0; seed < 50; ++seed) {
        const auto bytes = patternBytes(20, seed);
        Sha1Digest digest;
        std::copy(bytes.begin(), bytes.end(), digest.begin());
        const std::string encoded = Base64EncodeDigest(&digest);
        EXPECT_EQ(encoded, openSslBase64(digest));
        EXPECT_EQ(encoded.size(), 28u);
        EXPECT_EQ(encoded.find('='), 27u);
    }
    Sha1Digest allOnes;
    allOnes.fill(0xFF);
    EXPECT_EQ(Base64EncodeDigest(&allOnes), "//////////////////////////8=");
    Sha1Digest zeros{};
    EXPECT_EQ(Base64EncodeDigest(&zeros), "AAAAAAAAAAAAAAAAAAAAAAAAAAA=");
}

TEST(HmacSha1Base64, TakesTheMessageFirstAndTheKeySecond) {
    // RFC 2202 case 2: key "Jefe".
    const auto mac = HmacSha1(bytesOf("Jefe"), bytesOf("what do ya want for nothing?"));
    EXPECT_EQ(HmacSha1Base64("what do ya want for nothing?", "Jefe"), openSslBase64(mac));
    EXPECT_NE(HmacSha1Base64("Jefe", "what do ya want for nothing?"), openSslBase64(mac));

    const std::string empty = HmacSha1Base64("", "");
    EXPECT_EQ(empty, openSslBase64(HmacSha1({}, {})));
    EXPECT_EQ(empty.size(), 28u);
}

}  // namespace
