#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "http/code_page.h"
#include "http/service_config.h"
#include "oauth/consumer_registration.h"
#include "tests/support/temp_folder.h"

namespace {

TEST(ParseServiceConfig, ReadsTheFourKeysAndIgnoresTheRest) {
    const ServiceConfig config = ParseServiceConfig(
        "# a comment=with equals\r\n"
        "\r\n"
        "service_url=https://127.0.0.1:8443/\r\n"
        "consumer_key=key=with=equals\r\n"
        "consumer_secret=s3cret\n"
        "unknown=value\n"
        "no equals sign here\n"
        "ca_bundle=./certs/ca.pem");
    EXPECT_EQ(config.serviceUrl, "https://127.0.0.1:8443");
    EXPECT_EQ(config.consumerKey, "key=with=equals");
    EXPECT_EQ(config.consumerSecret, "s3cret");
    EXPECT_EQ(config.caBundle, "./certs/ca.pem");
}

TEST(ParseServiceConfig, MissingOrEmptyValuesKeepTheBuiltInOnes) {
    for (const char* text :
         {"", "service_url=\nca_bundle=\n", "service_url=///\n", " service_url=https://x\n",
          "#service_url=https://x\n", "service_url=http://127.0.0.1:8080\n",
          "service_url=127.0.0.1\n", "service_url=https://\n"}) {
        SCOPED_TRACE(text);
        const ServiceConfig config = ParseServiceConfig(text);
        EXPECT_EQ(config.serviceUrl, "https://api.twitter.com");
        EXPECT_EQ(config.consumerKey, "");
        EXPECT_EQ(config.caBundle, "");
    }
}

TEST(ParseServiceConfig, RefusesAnAddressWithSpacesOrControlBytes) {
    // The address goes into the request line and the Host line unchanged, where a space or
    // a CR would start another field or another header line.
    for (const std::string& text :
         {std::string("service_url=https://a b\n"), std::string("service_url=https://a\r\r\n"),
          std::string("service_url=https://a\x0e\n"), std::string("service_url=https://a\x7f\n"),
          std::string("service_url=https://a\0b\n", 23),
          std::string("service_url=https://\tx\n")}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ParseServiceConfig(text).serviceUrl, "https://api.twitter.com");
    }
    EXPECT_EQ(ParseServiceConfig("service_url=https://h\xc3\xa4st:8443\r\n").serviceUrl,
              "https://h\xc3\xa4st:8443");
}

TEST(ParseServiceConfig, KeysAreExactAndTheLastOneWins) {
    const ServiceConfig config =
        ParseServiceConfig("SERVICE_URL=https://a\nservice_url=https://b\nservice_url=https://c\n");
    EXPECT_EQ(config.serviceUrl, "https://c");
}

TEST(LoadServiceConfig, AppliesTheFileAndFallsBackWithoutOne) {
    TempFolder folder;
    const auto file = folder.path() / "service.txt";
    std::ofstream(file) << "service_url=https://127.0.0.1:9\nconsumer_key=ownKey\n";
    const std::string builtInSecret = consumerSecret();

    EXPECT_TRUE(loadServiceConfig(file.string()));
    EXPECT_EQ(serviceUrl("/oauth/authorize"), "https://127.0.0.1:9/oauth/authorize");
    EXPECT_EQ(consumerKey(), "ownKey");
    EXPECT_EQ(consumerSecret(), builtInSecret);

    std::ofstream(file, std::ios::trunc) << "service_url=https://127.0.0.1:10\n";
    EXPECT_TRUE(loadServiceConfig(file.string()));
    EXPECT_EQ(serviceUrl("/x"), "https://127.0.0.1:10/x");

    EXPECT_FALSE(loadServiceConfig((folder.path() / "absent.txt").string()));
    EXPECT_EQ(serviceUrl("/1.1/search/tweets.json"),
              "https://api.twitter.com/1.1/search/tweets.json");

    std::ofstream(file, std::ios::trunc) << "service_url=https://127.0.0.1:11\n"
                                         << std::string(kMaxServiceConfigBytes, '#');
    EXPECT_FALSE(loadServiceConfig(file.string())) << "an oversized file is not read";
    EXPECT_EQ(serviceUrl("/1.1/search/tweets.json"),
              "https://api.twitter.com/1.1/search/tweets.json");
}

TEST(ToUtf8, KeepsTextsUpToTheBoundAndDropsLongerOnes) {
    EXPECT_EQ(ToUtf8("猫 cat"), "猫 cat");
    EXPECT_EQ(ToUtf8(""), "");
    const std::string atBound(kMaxUtf8Bytes, 'k');
    EXPECT_EQ(ToUtf8(atBound), atBound);
    EXPECT_EQ(ToUtf8(atBound + "k"), "");
}

TEST(ParseServiceConfig, ChoosesTheHashtagTimelineWithItsTokenAndSensitivity) {
    const ServiceConfig builtIn = ParseServiceConfig("service_url=https://social.example\n");
    EXPECT_EQ(builtIn.source, SearchSource::Designed);
    EXPECT_TRUE(builtIn.accessToken.empty());
    EXPECT_FALSE(builtIn.showSensitive);

    const ServiceConfig timeline = ParseServiceConfig(
        "source=mastodon\r\nservice_url=https://social.example/\naccess_token=abc=def\n"
        "show_sensitive=1\n");
    EXPECT_EQ(timeline.source, SearchSource::HashtagTimeline);
    EXPECT_EQ(timeline.serviceUrl, "https://social.example");
    EXPECT_EQ(timeline.accessToken, "abc=def");
    EXPECT_TRUE(timeline.showSensitive);

    EXPECT_EQ(ParseServiceConfig("source=mastodon\nsource=twitter\n").source,
              SearchSource::Designed);
    EXPECT_EQ(ParseServiceConfig("source=Mastodon\n").source, SearchSource::Designed);
    EXPECT_FALSE(ParseServiceConfig("show_sensitive=yes\n").showSensitive);
}

}  // namespace
