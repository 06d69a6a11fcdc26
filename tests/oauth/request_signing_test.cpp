#include "oauth/request_signing.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <string>
#include <vector>

#include "oauth/percent_encoding.h"
#include "oauth/signing_clock.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

constexpr std::string_view kConsumerKey = "tilvaneDemoConsumer22K";
constexpr std::string_view kConsumerSecret = "tilvaneDemoConsumerSecretPlaceholder00041";
constexpr std::string_view kNonce = "NonceFixed0123456";
constexpr std::int64_t kTimestamp = 1700000000;

// The signature computed by OpenSSL from a base string and key written out by hand.
std::string expectedSignature(std::string_view baseString, std::string_view key) {
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha1(), key.data(), static_cast<int>(key.size()),
         reinterpret_cast<const unsigned char*>(baseString.data()), baseString.size(), mac,
         &length);
    std::string encoded(4 * ((length + 2) / 3), '\0');
    EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()), mac,
                    static_cast<int>(length));
    return encoded;
}

std::vector<std::string> pairs(std::string_view pairString) {
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start <= pairString.size()) {
        std::size_t end = std::min(pairString.find('&', start), pairString.size());
        result.emplace_back(pairString.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

std::vector<std::string> names(std::string_view pairString) {
    std::vector<std::string> result;
    for (const std::string& pair : pairs(pairString)) {
        result.push_back(pair.substr(0, pair.find('=')));
    }
    return result;
}

std::string valueOf(std::string_view pairString, std::string_view name) {
    for (const std::string& pair : pairs(pairString)) {
        if (pair.starts_with(std::string(name) + "=")) {
            return PercentDecode(std::string_view(pair).substr(name.size() + 1));
        }
    }
    ADD_FAILURE() << name << " missing from " << pairString;
    return {};
}

class RequestSigning : public ::testing::Test {
  protected:
    void SetUp() override {
        setSigningClock([] { return kTimestamp; });
        setNonceSource([] { return std::string(kNonce); });
    }
    void TearDown() override { resetSigningClockAndNonce(); }
};

// RFC 5849 section 3.4.1.1. The two a3 entries are given in the order the example lists
// them, since equal names keep their relative order.
TEST(SignatureBaseString, Rfc5849Example) {
    ParameterList list;
    SplitUrlParameters("http://example.com/request?b5=%3D%253D&a3=2+q&a3=a&c%40=&a2=r%20b&c2", list,
                       true);
    for (const char* entry : {"oauth_consumer_key=9djdj82h48djs9d2", "oauth_token=kkk9d7dh3k39sjv7",
                              "oauth_signature_method=HMAC-SHA1", "oauth_timestamp=137131201",
                              "oauth_nonce=7d8f3e4a"}) {
        list.push_back(entry);
    }
    SortParameters(list);
    const std::string baseString = JoinEncoded({"POST", list[0], SerializeParameters(list, 1)});
    EXPECT_EQ(baseString,
              "POST&http%3A%2F%2Fexample.com%2Frequest&a2%3Dr%2520b%26a3%3D2%2520q%26a3%3Da%26b5%"
              "3D%253D%25253D%26c%2540%3D%26c2%3D%26oauth_consumer_key%3D9djdj82h48djs9d2%26oauth_"
              "nonce%3D7d8f3e4a%26oauth_signature_method%3DHMAC-SHA1%26oauth_timestamp%3D137131201%"
              "26oauth_token%3Dkkk9d7dh3k39sjv7");
}

TEST_F(RequestSigning, SearchIsAGetWithEverythingInTheQuery) {
    const std::string signedUrl =
        SignRequest("https://api.example.test/1.1/search/tweets.json?q=%E7%8C%AB%20cat&count=20",
                    nullptr, kConsumerKey, kConsumerSecret, "12345-tokenABC", "tokSecret/+=");

    const std::string parameters =
        "count=20&oauth_consumer_key=tilvaneDemoConsumer22K&oauth_nonce=NonceFixed0123456&oauth_"
        "signature_method=HMAC-SHA1&oauth_timestamp=1700000000&oauth_token=12345-tokenABC&oauth_"
        "version=1.0&q=%E7%8C%AB%20cat";
    const std::string baseString =
        "GET&https%3A%2F%2Fapi.example.test%2F1.1%2Fsearch%2Ftweets.json&count%3D20%26oauth_"
        "consumer_key%3DtilvaneDemoConsumer22K%26oauth_nonce%3DNonceFixed0123456%26oauth_"
        "signature_method%3DHMAC-SHA1%26oauth_timestamp%3D1700000000%26oauth_token%3D12345-"
        "tokenABC%26oauth_version%3D1.0%26q%3D%25E7%258C%25AB%2520cat";
    const std::string signature = expectedSignature(
        baseString, "tilvaneDemoConsumerSecretPlaceholder00041&tokSecret%2F%2B%3D");
    EXPECT_EQ(signedUrl, "https://api.example.test/1.1/search/tweets.json?" + parameters +
                             "&oauth_signature=" + PercentEncode(signature));
    EXPECT_TRUE(signedUrl.ends_with("%3D"));
}

TEST_F(RequestSigning, RequestTokenIsAPostWithEverythingInTheBody) {
    std::string body;
    const std::string url = SignRequest("https://api.example.test/oauth/request_token", &body,
                                        kConsumerKey, kConsumerSecret, std::nullopt, std::nullopt);
    EXPECT_EQ(url, "https://api.example.test/oauth/request_token");
    EXPECT_THAT(names(body),
                ElementsAre("oauth_consumer_key", "oauth_nonce", "oauth_signature_method",
                            "oauth_timestamp", "oauth_version", "oauth_signature"));
    const std::string baseString =
        "POST&https%3A%2F%2Fapi.example.test%2Foauth%2Frequest_token&oauth_consumer_key%"
        "3DtilvaneDemoConsumer22K%26oauth_nonce%3DNonceFixed0123456%26oauth_signature_method%"
        "3DHMAC-SHA1%26oauth_timestamp%3D1700000000%26oauth_version%3D1.0";
    EXPECT_EQ(valueOf(body, "oauth_signature"),
              expectedSignature(baseString, "tilvaneDemoConsumerSecretPlaceholder00041&"));
}

TEST_F(RequestSigning, AccessTokenMovesTheQueryIntoTheBodyAndSignsWithoutATokenSecret) {
    std::string body;
    const std::string url = SignRequest(
        "https://api.example.test/oauth/access_token?oauth_token=req+Tok&oauth_verifier=0123456",
        &body, kConsumerKey, kConsumerSecret, std::nullopt, std::nullopt);
    EXPECT_EQ(url, "https://api.example.test/oauth/access_token");
    EXPECT_THAT(names(body), ElementsAre("oauth_consumer_key", "oauth_nonce",
                                         "oauth_signature_method", "oauth_timestamp", "oauth_token",
                                         "oauth_verifier", "oauth_version", "oauth_signature"));
    // A POST keeps "+" as itself.
    EXPECT_EQ(valueOf(body, "oauth_token"), "req+Tok");
    EXPECT_EQ(valueOf(body, "oauth_verifier"), "0123456");
    const std::string baseString =
        "POST&https%3A%2F%2Fapi.example.test%2Foauth%2Faccess_token&oauth_consumer_key%"
        "3DtilvaneDemoConsumer22K%26oauth_nonce%3DNonceFixed0123456%26oauth_signature_method%"
        "3DHMAC-SHA1%26oauth_timestamp%3D1700000000%26oauth_token%3Dreq%252BTok%26oauth_verifier%"
        "3D0123456%26oauth_version%3D1.0";
    EXPECT_EQ(valueOf(body, "oauth_signature"),
              expectedSignature(baseString, "tilvaneDemoConsumerSecretPlaceholder00041&"));
}

TEST_F(RequestSigning, SecretsAreEncodedIntoTheSigningKey) {
    std::string body;
    SignRequest("https://h.test/p", &body, "key", "con&sumer secret", std::nullopt, "tok/secret");
    const std::string baseString =
        "POST&https%3A%2F%2Fh.test%2Fp&oauth_consumer_key%3Dkey%26oauth_nonce%3DNonceFixed0123456%"
        "26oauth_signature_method%3DHMAC-SHA1%26oauth_timestamp%3D1700000000%26oauth_version%3D1.0";
    EXPECT_EQ(valueOf(body, "oauth_signature"),
              expectedSignature(baseString, "con%26sumer%20secret&tok%2Fsecret"));
}

TEST_F(RequestSigning, ProtocolParametersAlreadyInTheQueryAreKept) {
    const std::string signedUrl = SignRequest(
        "https://h.test/p?oauth_nonce=mine&oauth_timestamp=42&oauth_version=1.0&"
        "oauth_consumer_key=other&oauth_signature_method=PLAINTEXT",
        nullptr, "key", "secret", std::nullopt, std::nullopt);
    const std::string query = signedUrl.substr(signedUrl.find('?') + 1);
    EXPECT_THAT(pairs(query).size(), 8u);
    EXPECT_THAT(names(query),
                ElementsAreArray({"oauth_consumer_key", "oauth_consumer_key", "oauth_nonce",
                                  "oauth_signature_method", "oauth_signature_method",
                                  "oauth_timestamp", "oauth_version", "oauth_signature"}));
    EXPECT_EQ(valueOf(query, "oauth_nonce"), "mine");
    EXPECT_EQ(valueOf(query, "oauth_timestamp"), "42");
    EXPECT_EQ(valueOf(query, "oauth_consumer_key"), "other");
}

TEST_F(RequestSigning, AnIncomingSignatureNeverReachesTheOutput) {
    std::string body;
    SignRequest("https://h.test/p?oauth_signature=forged&a=1&OAUTH_SIGNATURE=x", &body, "key",
                "secret", std::nullopt, std::nullopt);
    EXPECT_THAT(names(body),
                ElementsAre("a", "oauth_consumer_key", "oauth_nonce", "oauth_signature_method",
                            "oauth_timestamp", "oauth_version", "oauth_signature"));
    EXPECT_NE(valueOf(body, "oauth_signature"), "forged");
}

TEST_F(RequestSigning, EmptyTokenIsSentButAMissingOneIsNot) {
    std::string withEmpty;
    SignRequest("https://h.test/p", &withEmpty, "key", "secret", "", std::nullopt);
    EXPECT_THAT(pairs(withEmpty), ::testing::Contains("oauth_token="));
    std::string without;
    SignRequest("https://h.test/p", &without, "key", "secret", std::nullopt, std::nullopt);
    EXPECT_THAT(names(without), ::testing::Not(::testing::Contains("oauth_token")));
}

TEST_F(RequestSigning, OverlongEntriesAreCutAtTheEntryLimit) {
    ParameterList list{"https://h.test/p"};
    AddProtocolParameters(list, std::string(2000, 'k'), std::string(1500, 't'));
    EXPECT_THAT(list, ::testing::Contains("oauth_consumer_key=" + std::string(1023 - 19, 'k')));
    EXPECT_THAT(list, ::testing::Contains("oauth_token=" + std::string(1023 - 12, 't')));
}

TEST_F(RequestSigning, SignAndSerializeReturnsTheBaseUrlForAPost) {
    ParameterList list{"https://h.test/p", "a=1"};
    std::string body = "stale";
    EXPECT_EQ(SignAndSerialize(list, &body, "key", "secret", std::nullopt, std::nullopt),
              "https://h.test/p");
    EXPECT_TRUE(body.starts_with("a=1&oauth_consumer_key=key&"));
    EXPECT_EQ(list.back().substr(0, 16), "oauth_signature=");
}

TEST(RequestSigningNonce, SigningsInTheSameSecondCarryDifferentNonces) {
    setSigningClock([] { return kTimestamp; });
    std::vector<std::string> nonces;
    for (int i = 0; i < 50; ++i) {
        std::string body;
        SignRequest("https://h.test/p", &body, "key", "secret", std::nullopt, std::nullopt);
        EXPECT_EQ(valueOf(body, "oauth_timestamp"), "1700000000");
        nonces.push_back(valueOf(body, "oauth_nonce"));
    }
    resetSigningClockAndNonce();
    std::sort(nonces.begin(), nonces.end());
    EXPECT_EQ(std::adjacent_find(nonces.begin(), nonces.end()), nonces.end());
}

}  // namespace
