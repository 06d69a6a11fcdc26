#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "http/http_fetch.h"
#include "http/io_timeout.h"
#include "http/pin_text.h"
#include "http/service_config.h"
#include "http/service_operations.h"
#include "oauth/consumer_registration.h"
#include "oauth/oauth_credentials.h"
#include "oauth/signing_clock.h"
#include "tests/support/fake_service.h"

namespace {

std::string Text(const std::vector<char>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// The value of name in a form-encoded reply ("a=1&b=2").
std::string FormValue(const std::string& form, const std::string& name) {
    const std::string key = name + "=";
    std::size_t at = form.starts_with(key) ? 0 : form.find("&" + key);
    if (at == std::string::npos) {
        return "";
    }
    at += form[at] == '&' ? key.size() + 1 : key.size();
    return form.substr(at, form.find_first_of("&", at) - at);
}

// Cut at the NUL the operations append.
std::string CText(const std::vector<char>& bytes) {
    const std::string text = Text(bytes);
    return text.substr(0, text.find('\0'));
}

class ServiceOperations : public testing::Test {
  protected:
    void SetUp() override {
        if (!FakeService::PythonAvailable()) {
            GTEST_SKIP() << "python3 is not available";
        }
        service_ = std::make_unique<FakeService>();
        ASSERT_TRUE(service_->running()) << "the fake service did not start";
        ASSERT_TRUE(loadServiceConfig(service_->ServiceTxt().string()));
        UseAccessToken(service_->Field("access_token"), service_->Field("access_token_secret"));
    }
    void TearDown() override {
        service_.reset();
        setServiceConfig(ServiceConfig{});
        SetIoTimeout(kDefaultIoTimeout);
    }

    static void UseAccessToken(const std::string& token, const std::string& secret) {
        publishCredentials({consumerKey(), consumerSecret(), token, secret});
    }

    void PointAt(const std::string& apiUrl) {
        ServiceConfig config = serviceConfig();
        config.serviceUrl = apiUrl;
        setServiceConfig(config);
    }

    std::unique_ptr<FakeService> service_;
};

TEST_F(ServiceOperations, SearchIsSignedAndReturnsTheResultNulTerminated) {
    std::vector<char> body;
    ASSERT_TRUE(SearchTweets(body, "cats", "5"));
    ASSERT_FALSE(body.empty());
    EXPECT_EQ(body.back(), '\0');
    EXPECT_EQ(body.size(), CText(body).size() + 1) << "exactly one NUL, at the end";
    EXPECT_TRUE(CText(body).starts_with("{\"statuses\":[")) << CText(body).substr(0, 200);
    EXPECT_NE(CText(body).find("a01.jpg"), std::string::npos);

    const std::string entry = service_->LastLogEntry();
    EXPECT_NE(entry.find("\"signature\": \"ok\""), std::string::npos) << entry;
    EXPECT_NE(entry.find("\"count\": 5"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\"http_version\": \"HTTP/1.0\""), std::string::npos) << entry;
}

TEST_F(ServiceOperations, AJapaneseKeywordTravelsAsEncodedUtf8) {
    std::vector<char> body;
    ASSERT_TRUE(SearchTweets(body, "猫", "3"));
    const std::string entry = service_->LastLogEntry();
    EXPECT_NE(entry.find("\"keyword\": \"猫\""), std::string::npos) << entry;
    EXPECT_NE(entry.find("q=%E7%8C%AB"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\"signature\": \"ok\""), std::string::npos) << entry;
}

TEST_F(ServiceOperations, AnEmptyKeywordIsRefusedWithTheErrorTextHandedOver) {
    std::vector<char> body;
    EXPECT_FALSE(SearchTweets(body, "", "5"));
    EXPECT_NE(CText(body).find("Query parameters are missing."), std::string::npos) << CText(body);
    EXPECT_EQ(body.back(), '\0');
}

TEST_F(ServiceOperations, AnErrorStatusHandsTheErrorBodyOver) {
    ASSERT_TRUE(service_->Misbehave(R"({"path": "/1.1/search/tweets.json", "mode": "status404"})"));
    std::vector<char> body;
    EXPECT_FALSE(SearchTweets(body, "dogs", "5"));
    EXPECT_NE(CText(body).find("errors"), std::string::npos) << CText(body);
    EXPECT_EQ(body.back(), '\0');
}

TEST_F(ServiceOperations, FailedExchangesLeaveOnlyTheNul) {
    ASSERT_TRUE(service_->Misbehave(
        R"([{"path": "/1.1/search/tweets.json", "mode": "oversize"},)"
        R"( {"path": "/1.1/search/tweets.json", "mode": "close"},)"
        R"( {"path": "/1.1/search/tweets.json", "mode": "stall", "seconds": 5}])"));
    SetIoTimeout(std::chrono::milliseconds(700));
    for (const char* misbehaviour : {"oversize", "close", "stall"}) {
        SCOPED_TRACE(misbehaviour);
        std::vector<char> body{'o', 'l', 'd'};
        EXPECT_FALSE(SearchTweets(body, "cats", "5"));
        EXPECT_EQ(body, std::vector<char>{'\0'});
    }
}

TEST_F(ServiceOperations, AServerWithACertificateFromAnotherAuthorityIsRefused) {
    PointAt(service_->Field("untrusted_api_url"));
    std::vector<char> body;
    EXPECT_FALSE(SearchTweets(body, "cats", "5"));
    EXPECT_EQ(body, std::vector<char>{'\0'});
    // The server may log the failed handshake, but never a request behind it.
    EXPECT_EQ(service_->LastLogEntry().find("tweets.json"), std::string::npos);
}

TEST_F(ServiceOperations, ADribbledReplyArrivesWhole) {
    ASSERT_TRUE(service_->Misbehave(
        R"({"path": "/1.1/search/tweets.json", "mode": "dribble", "delay_ms": 1})"));
    std::vector<char> body;
    ASSERT_TRUE(SearchTweets(body, "dogs", "4"));
    EXPECT_GT(body.size(), 1000u);
    EXPECT_NE(CText(body).find("b04.jpg"), std::string::npos);
    EXPECT_TRUE(CText(body).ends_with("}")) << CText(body).substr(body.size() - 100);
}

TEST_F(ServiceOperations, ThePinFlowYieldsAnAccessTokenThatSearches) {
    std::vector<char> reply;
    FetchRequestToken(reply);
    const std::string requestTokenReply = Text(reply);
    const std::string requestToken = FormValue(requestTokenReply, "oauth_token");
    ASSERT_FALSE(requestToken.empty()) << requestTokenReply;
    EXPECT_NE(service_->LastLogEntry().find("\"signature\": \"ok\""), std::string::npos);

    std::vector<char> pin;
    ASSERT_TRUE(HttpFetch(pin, serviceUrl("/_test/pin") + "?oauth_token=" + requestToken));
    pinText = Text(pin);
    while (!pinText.empty() && (pinText.back() == '\n' || pinText.back() == '\r')) {
        pinText.pop_back();
    }
    ASSERT_FALSE(pinText.empty());

    FetchAccessToken(reply, requestToken);
    const std::string accessReply = Text(reply);
    const std::string token = FormValue(accessReply, "oauth_token");
    const std::string secret = FormValue(accessReply, "oauth_token_secret");
    ASSERT_FALSE(token.empty()) << accessReply;
    ASSERT_FALSE(secret.empty()) << accessReply;
    const std::string entry = service_->LastLogEntry();
    EXPECT_NE(entry.find("\"signature\": \"ok\""), std::string::npos) << entry;
    EXPECT_NE(entry.find("\"oauth_verifier\": \"" + pinText + "\""), std::string::npos) << entry;

    UseAccessToken(token, secret);
    std::vector<char> body;
    EXPECT_TRUE(SearchTweets(body, "dogs", "2")) << CText(body);
}

TEST_F(ServiceOperations, AWrongPinIsRefusedAndTheRefusalIsHandedOver) {
    std::vector<char> reply;
    FetchRequestToken(reply);
    const std::string requestToken = FormValue(Text(reply), "oauth_token");
    ASSERT_FALSE(requestToken.empty());
    pinText = "0000000&x=1";
    FetchAccessToken(reply, requestToken);
    EXPECT_NE(Text(reply).find("Invalid oauth_verifier"), std::string::npos) << Text(reply);
    const std::string entry = service_->LastLogEntry();
    // Inserted as given, the "&" in the PIN starts a parameter of its own.
    EXPECT_NE(entry.find("\"oauth_verifier\": \"0000000\""), std::string::npos) << entry;
    EXPECT_NE(entry.find("\"x\": \"1\""), std::string::npos) << entry;
    EXPECT_NE(entry.find("\"signature\": \"ok\""), std::string::npos) << entry;
}

// The first character written as a "%" escape, which only decodes back if it is not
// encoded again on the way.
std::string EscapeFirst(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto first = static_cast<unsigned char>(text.at(0));
    return std::string{'%', kHex[first >> 4], kHex[first & 0xF]} + text.substr(1);
}

TEST_F(ServiceOperations, TheRequestTokenAndPinAreInsertedUnencoded) {
    std::vector<char> reply;
    FetchRequestToken(reply);
    const std::string requestToken = FormValue(Text(reply), "oauth_token");
    ASSERT_FALSE(requestToken.empty()) << Text(reply);
    std::vector<char> pin;
    ASSERT_TRUE(HttpFetch(pin, serviceUrl("/_test/pin") + "?oauth_token=" + requestToken));
    std::string givenPin = Text(pin);
    while (!givenPin.empty() && (givenPin.back() == '\n' || givenPin.back() == '\r')) {
        givenPin.pop_back();
    }
    ASSERT_FALSE(givenPin.empty());

    pinText = EscapeFirst(givenPin);
    FetchAccessToken(reply, EscapeFirst(requestToken));
    EXPECT_FALSE(FormValue(Text(reply), "oauth_token_secret").empty()) << Text(reply);
    const std::string entry = service_->LastLogEntry();
    EXPECT_NE(entry.find("\"oauth_token\": \"" + requestToken + "\""), std::string::npos) << entry;
    EXPECT_NE(entry.find("\"oauth_verifier\": \"" + givenPin + "\""), std::string::npos) << entry;
    EXPECT_NE(entry.find("\"signature\": \"ok\""), std::string::npos) << entry;
}

// A number of the fake service's nonce tally (GET /_test/nonces, compact JSON); -1 when absent.
long long TallyNumber(const std::string& tally, const std::string& name) {
    const std::string key = "\"" + name + "\":";
    const std::size_t at = tally.find(key);
    if (at == std::string::npos || at + key.size() >= tally.size() ||
        !std::isdigit(static_cast<unsigned char>(tally[at + key.size()]))) {
        return -1;
    }
    return std::stoll(tally.substr(at + key.size()));
}

std::string NonceTally() {
    std::vector<char> tally;
    EXPECT_TRUE(HttpFetch(tally, serviceUrl("/_test/nonces")));
    return Text(tally);
}

TEST_F(ServiceOperations, AThousandSignedSearchesNeverReuseANonce) {
    constexpr long long kSearches = 1000;
    for (long long i = 0; i < kSearches; ++i) {
        std::vector<char> body;
        ASSERT_TRUE(SearchTweets(body, "cats", "1")) << "search " << i << ": " << CText(body);
    }
    const std::string tally = NonceTally();
    EXPECT_EQ(TallyNumber(tally, "signed_requests"), kSearches) << tally;
    EXPECT_EQ(TallyNumber(tally, "distinct_nonces"), kSearches) << tally;
    EXPECT_EQ(TallyNumber(tally, "reused_nonces"), 0) << tally;
    EXPECT_EQ(TallyNumber(tally, "replays"), 0) << tally;
    EXPECT_EQ(TallyNumber(tally, "backwards_timestamps"), 0) << tally;
}

// The tally above can only prove anything if it sees a nonce sent twice.
TEST_F(ServiceOperations, TheNonceTallySeesANonceSentTwice) {
    const std::int64_t now = signingTimeNow();
    setSigningClock([now] { return now; });
    setNonceSource([] { return std::string("sameNonceEveryTime0123"); });
    std::vector<char> body;
    EXPECT_TRUE(SearchTweets(body, "cats", "1"));
    EXPECT_FALSE(SearchTweets(body, "cats", "1")) << "a replay is refused";
    setSigningClock([now] { return now + 1; });
    EXPECT_TRUE(SearchTweets(body, "cats", "1")) << "another timestamp is accepted";
    resetSigningClockAndNonce();

    const std::string tally = NonceTally();
    EXPECT_EQ(TallyNumber(tally, "signed_requests"), 3) << tally;
    EXPECT_EQ(TallyNumber(tally, "distinct_nonces"), 1) << tally;
    EXPECT_EQ(TallyNumber(tally, "reused_nonces"), 2) << tally;
    EXPECT_EQ(TallyNumber(tally, "replays"), 1) << tally;
}

}  // namespace
