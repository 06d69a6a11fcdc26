#include <gtest/gtest.h>

#include <string>

#include "app/logic/source_choices.h"
#include "http/service_config.h"
#include "tests/support/temp_folder.h"

namespace {

const std::string kHandWritten =
    "# which service\r\n"
    "#source=mastodon\r\n"
    "\r\n"
    "consumer_key=ck\r\n"
    "source=twitter\r\n"
    "service_url=https://api.example:8443/\r\n"
    "future_key=kept\r\n"
    "show_sensitive=1\r\n"
    "source=misskey\r\n"
    "consumer_secret=cs";

TEST(RewrittenServiceText, KeepsCommentsAndOtherKeysAndSetsThePageKeysOnce) {
    SourceChoices choices;
    choices.source = SearchSource::HashtagTimeline;
    choices.serverUrl = "https://mastodon.example";
    choices.accessToken = "tok\r\nsource=twitter";  // pasted across lines
    const std::string text = rewrittenServiceText(kHandWritten, choices);
    EXPECT_EQ(text,
              "# which service\n"
              "#source=mastodon\n"
              "\n"
              "consumer_key=ck\n"
              "source=mastodon\n"
              "service_url=https://mastodon.example\n"
              "future_key=kept\n"
              "consumer_secret=cs\n"
              "access_token=toksource=twitter\n");
    const ServiceConfig read = ParseServiceConfig(text);
    EXPECT_EQ(read.source, SearchSource::HashtagTimeline);
    EXPECT_EQ(read.consumerKey, "ck");
    EXPECT_FALSE(read.showSensitive);
    EXPECT_EQ(rewrittenServiceText(text, choices), text) << "a second OK changes nothing";
}

TEST(RewrittenServiceText, AnEmptyServerLeavesTheSourceItsOwnHost) {
    SourceChoices choices;
    choices.source = SearchSource::FlickrFeed;
    choices.showSensitive = true;
    const ServiceConfig flickr = ParseServiceConfig(rewrittenServiceText(kHandWritten, choices));
    EXPECT_EQ(flickr.serviceUrl, "https://api.flickr.com");
    EXPECT_TRUE(flickr.showSensitive);
    choices.source = SearchSource::BlueskyFeed;
    EXPECT_EQ(ParseServiceConfig(rewrittenServiceText("", choices)).serviceUrl,
              "https://public.api.bsky.app");
    EXPECT_EQ(sourceChoicesOf(ParseServiceConfig("source=bluesky\n")).serverUrl, "");
    choices.source = SearchSource::Designed;
    EXPECT_EQ(ParseServiceConfig(rewrittenServiceText(kHandWritten, choices)).serviceUrl,
              kDefaultServiceUrl);
    EXPECT_EQ(ParseServiceConfig("").source, SearchSource::Designed) << "no source: designed";
}

TEST(SourceChoicesProblem, MastodonAndMisskeyNeedAnHttpsServer) {
    SourceChoices choices;
    EXPECT_FALSE(sourceChoicesProblem(choices));
    for (SearchSource source : {SearchSource::HashtagTimeline, SearchSource::MisskeyTag}) {
        choices.source = source;
        choices.serverUrl = "";
        EXPECT_EQ(sourceChoicesProblem(choices), SourceProblem::ServerNeeded);
        choices.serverUrl = "http://plain.example";
        EXPECT_EQ(sourceChoicesProblem(choices), SourceProblem::ServerUnusable);
        choices.serverUrl = "https://a b";
        EXPECT_EQ(sourceChoicesProblem(choices), SourceProblem::ServerUnusable);
        choices.serverUrl = "https://misskey.example/";
        EXPECT_FALSE(sourceChoicesProblem(choices));
    }
    choices.source = SearchSource::FlickrFeed;
    choices.serverUrl = "";
    EXPECT_FALSE(sourceChoicesProblem(choices));
}

class StoreSourceChoicesTest : public ::testing::Test {
  protected:
    void TearDown() override { setServiceConfig(ServiceConfig{}); }
    TempFolder scratch;
};

TEST_F(StoreSourceChoicesTest, WritesTheFileAndMakesItCurrentOnlyWhenItChanged) {
    const auto file = scratch.path() / "service.txt";
    // No consumer registration here: it would stay the process's for the later tests.
    writeBytes(file, "# which service\r\nfuture_key=kept\r\nsource=twitter\r\n");
    SourceChoices choices;
    choices.source = SearchSource::FlickrFeed;
    const std::uint64_t generation = serviceConfigGeneration();
    SourceStoreResult result = storeSourceChoices(choices, file);
    EXPECT_TRUE(result.saved);
    EXPECT_TRUE(result.changed);
    EXPECT_GT(serviceConfigGeneration(), generation);
    EXPECT_EQ(serviceConfig().source, SearchSource::FlickrFeed);
    EXPECT_EQ(serviceConfig().serviceUrl, "https://api.flickr.com");
    EXPECT_NE(readBytes(file).find("# which service\n"), std::string::npos);
    EXPECT_NE(readBytes(file).find("future_key=kept"), std::string::npos);

    const std::uint64_t unchanged = serviceConfigGeneration();
    result = storeSourceChoices(choices, file);
    EXPECT_TRUE(result.saved);
    EXPECT_FALSE(result.changed);
    EXPECT_EQ(serviceConfigGeneration(), unchanged) << "the sources keep what they remember";
}

TEST_F(StoreSourceChoicesTest, AFileTooLargeToReadIsLeftAlone) {
    const auto file = scratch.path() / "service.txt";
    const std::string huge(kMaxServiceConfigBytes + 1, '#');
    writeBytes(file, huge);
    SourceChoices choices;
    choices.source = SearchSource::FlickrFeed;
    EXPECT_FALSE(storeSourceChoices(choices, file).saved);
    EXPECT_EQ(readBytes(file), huge);
    EXPECT_EQ(serviceConfig().source, SearchSource::Designed);
    EXPECT_TRUE(storeSourceChoices(choices, scratch.path() / "absent.txt").saved)
        << "a missing file is made";
}

}  // namespace
