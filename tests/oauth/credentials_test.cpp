#include <gtest/gtest.h>

#include <thread>

#include "oauth/consumer_registration.h"
#include "oauth/oauth_credentials.h"

namespace {

TEST(ConsumerRegistration, BuiltInPairCanBeReplacedAtRunTime) {
    EXPECT_EQ(consumerKey().size(), 22u);
    EXPECT_EQ(consumerSecret().size(), 41u);
    const std::string& oldKey = consumerKey();
    const std::string oldKeyCopy = oldKey;
    const std::string oldSecretCopy = consumerSecret();

    setConsumerRegistration("userKey", "userSecret");
    EXPECT_EQ(consumerKey(), "userKey");
    EXPECT_EQ(consumerSecret(), "userSecret");
    EXPECT_EQ(oldKey, oldKeyCopy);  // an earlier reference still reads the old text

    setConsumerRegistration(oldKeyCopy, oldSecretCopy);
    EXPECT_EQ(consumerKey(), oldKeyCopy);
}

TEST(ProcessCredentials, PublishedOnceAndReadFromAnotherThread) {
    publishCredentials({"ck", "cs", "tok", "ts"});
    const OAuthCredentials& first = processCredentials();
    OAuthCredentials seenByWorker;
    std::thread worker([&] { seenByWorker = processCredentials(); });
    worker.join();
    EXPECT_EQ(seenByWorker.consumerKey, "ck");
    EXPECT_EQ(seenByWorker.consumerSecret, "cs");
    EXPECT_EQ(seenByWorker.token, "tok");
    EXPECT_EQ(seenByWorker.tokenSecret, "ts");

    publishCredentials({"ck2", "cs2", "tok2", "ts2"});
    EXPECT_EQ(processCredentials().token, "tok2");
    EXPECT_EQ(first.token, "tok");
}

}  // namespace
