#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/fake_service.h"
#include "http/http_fetch.h"
#include "http/pin_authorisation_operations.h"
#include "http/service_config.h"
#include "http/service_operations.h"
#include "oauth/consumer_registration.h"
#include "oauth/credential_file.h"
#include "oauth/oauth_credentials.h"
#include "oauth/pin_authorisation.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::string FileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// What a scripted user interface was asked to do.
struct UserInterfaceRecord {
    std::vector<std::string> openedAddresses;
    int pinRequests = 0;
    int failureReports = 0;
};

// A user interface without a user: the browser and the dialog are scripted.
PinAuthorisationServices Scripted(PinAuthorisationServices services, UserInterfaceRecord& record,
                                  std::function<std::string(const std::string&)> readPin) {
    auto lastAddress = std::make_shared<std::string>();
    services.openBrowser = [&record, lastAddress](const std::string& address) {
        record.openedAddresses.push_back(address);
        *lastAddress = address;
    };
    services.askForPin = [&record, lastAddress, readPin] {
        ++record.pinRequests;
        return readPin(*lastAddress);
    };
    services.reportFailure = [&record] { ++record.failureReports; };
    return services;
}

// Without any service: the replies are given.
class PinAuthorisationFlow : public testing::Test {
  protected:
    PinAuthorisationServices Replying(std::string requestReply, std::string accessReply) {
        PinAuthorisationServices services;
        services.authorisationPage = "https://service.example/oauth/authorize";
        services.fetchRequestToken = [requestReply] { return requestReply; };
        services.fetchAccessToken = [this, accessReply](const std::string& token,
                                                        const std::string& pin) {
            exchanged_.push_back(token + "/" + pin);
            return accessReply;
        };
        return Scripted(services, record_, [](const std::string&) { return "1234567"; });
    }

    TempFolder folder_;
    fs::path keyFile_ = folder_.path() / "key.txt";
    UserInterfaceRecord record_;
    std::vector<std::string> exchanged_;
};

TEST_F(PinAuthorisationFlow, AGrantedPairIsStoredAfterTheBrowserAndTheDialog) {
    const auto outcome = RunPinAuthorisation(
        Replying("oauth_token=RT&oauth_token_secret=RS&oauth_callback_confirmed=true",
                 "oauth_token=AT&oauth_token_secret=AS"),
        keyFile_.string());
    EXPECT_EQ(outcome, PinAuthorisationOutcome::Stored);
    ASSERT_EQ(record_.openedAddresses.size(), 1u);
    EXPECT_EQ(record_.openedAddresses[0],
              "https://service.example/oauth/authorize?oauth_token=RT&oauth_token_secret=RS");
    EXPECT_EQ(record_.pinRequests, 1);
    EXPECT_EQ(exchanged_, std::vector<std::string>{"RT/1234567"});
    EXPECT_EQ(record_.failureReports, 0);
    // The access reply ended with the secret, without a "&" after it.
    EXPECT_EQ(FileBytes(keyFile_), "AT\nAS\n");
}

TEST_F(PinAuthorisationFlow, NoRequestTokenMeansNoBrowserNoDialogAndNoFile) {
    for (const std::string& reply :
         {std::string(""),
          std::string(R"({"errors":[{"code":32,"message":"Could not authenticate you."}]})"),
          std::string("oauth_token=RT&oauth_callback_confirmed=true"),
          std::string("oauth_token_secret=RS&x=1"),
          std::string("oauth_token=&oauth_token_secret=RS&")}) {
        SCOPED_TRACE(reply);
        record_ = {};
        EXPECT_EQ(RunPinAuthorisation(Replying(reply, "oauth_token=AT&oauth_token_secret=AS&"),
                                      keyFile_.string()),
                  PinAuthorisationOutcome::RequestTokenFailed);
        EXPECT_TRUE(record_.openedAddresses.empty());
        EXPECT_EQ(record_.pinRequests, 0);
        EXPECT_EQ(record_.failureReports, 1);
        EXPECT_TRUE(exchanged_.empty());
        EXPECT_FALSE(fs::exists(keyFile_));
    }
}

TEST_F(PinAuthorisationFlow, AnAccessReplyWithoutAUsablePairWritesNothing) {
    WriteBytes(keyFile_, "old-token\r\n");
    const std::string tooLong(kCredentialLineLimit + 1, 'a');
    for (const std::string& reply :
         {std::string(""),
          std::string("Error processing your OAuth request: Invalid oauth_verifier parameter"),
          std::string("oauth_token=AT&user_id=1"),
          std::string("oauth_token=&oauth_token_secret=AS&"),
          "oauth_token=" + tooLong + "&oauth_token_secret=AS&"}) {
        SCOPED_TRACE(reply.substr(0, 40));
        record_ = {};
        EXPECT_EQ(RunPinAuthorisation(Replying("oauth_token=RT&oauth_token_secret=RS&", reply),
                                      keyFile_.string()),
                  PinAuthorisationOutcome::AccessTokenFailed);
        EXPECT_EQ(record_.pinRequests, 1);
        EXPECT_EQ(record_.failureReports, 1);
        EXPECT_EQ(FileBytes(keyFile_), "old-token\r\n");
    }
}

TEST_F(PinAuthorisationFlow, AGrantThatCannotBeStoredIsReported) {
    EXPECT_EQ(RunPinAuthorisation(Replying("oauth_token=RT&oauth_token_secret=RS&",
                                           "oauth_token=AT&oauth_token_secret=AS&"),
                                  (folder_.path() / "missing" / "key.txt").string()),
              PinAuthorisationOutcome::NotStored);
    EXPECT_EQ(record_.failureReports, 1);
}

// The whole flow against the fake service, with a browser that reads the PIN off the
// authorisation page.
class PinAuthorisationWithService : public testing::Test {
  protected:
    void SetUp() override {
        if (!FakeService::PythonAvailable()) {
            GTEST_SKIP() << "python3 is not available";
        }
        savedKey_ = consumerKey();
        savedSecret_ = consumerSecret();
        service_ = std::make_unique<FakeService>();
        ASSERT_TRUE(service_->running()) << "the fake service did not start";
        ASSERT_TRUE(loadServiceConfig(service_->ServiceTxt().string()));
    }
    void TearDown() override {
        service_.reset();
        setServiceConfig(ServiceConfig{});
        setConsumerRegistration(savedKey_, savedSecret_);
    }

    // The PIN as the authorisation page at address shows it; "" when the page has none.
    static std::string PinOnPage(const std::string& address) {
        std::vector<char> page;
        if (!HttpFetch(page, address)) {
            return "";
        }
        const std::string html(page.begin(), page.end());
        const std::string marker = "id=\"oauth_pin\">";
        const auto at = html.find(marker);
        if (at == std::string::npos) {
            return "";
        }
        const auto start = at + marker.size();
        return html.substr(start, html.find('<', start) - start);
    }

    PinAuthorisationOutcome Run(std::function<std::string(const std::string&)> readPin) {
        return RunPinAuthorisation(
            Scripted(serviceOperationsForPinAuthorisation(), record_, std::move(readPin)),
            keyFile_.string());
    }
    PinAuthorisationOutcome RunWithTheShownPin() { return Run(PinOnPage); }

    std::unique_ptr<FakeService> service_;
    std::string savedKey_;
    std::string savedSecret_;
    TempFolder folder_;
    fs::path keyFile_ = folder_.path() / "key.txt";
    UserInterfaceRecord record_;
};

TEST_F(PinAuthorisationWithService, TheGrantedPairIsStoredAndSignsTheNextSearch) {
    ASSERT_EQ(RunWithTheShownPin(), PinAuthorisationOutcome::Stored);
    ASSERT_EQ(record_.openedAddresses.size(), 1u);
    EXPECT_TRUE(record_.openedAddresses[0].starts_with(service_->Field("api_url") +
                                                       "/oauth/authorize?oauth_token="))
        << record_.openedAddresses[0];
    EXPECT_NE(record_.openedAddresses[0].find("&oauth_token_secret="), std::string::npos);
    EXPECT_EQ(record_.failureReports, 0);

    const std::string exchange = service_->LastLogEntry();
    EXPECT_NE(exchange.find("\"exchange\": \"ok\""), std::string::npos) << exchange;

    ASSERT_TRUE(LoadCredentialFile(keyFile_.string()));
    EXPECT_EQ(FileBytes(keyFile_), loadedToken + "\n" + loadedTokenSecret + "\n");
    EXPECT_NE(exchange.find("\"access_token\": \"" + loadedToken + "\""), std::string::npos)
        << exchange;
    publishCredentials({consumerKey(), consumerSecret(), loadedToken, loadedTokenSecret});
    std::vector<char> body;
    EXPECT_TRUE(SearchTweets(body, "cats", "2"));
    const std::string search = service_->LastLogEntry();
    EXPECT_NE(search.find("\"signature\": \"ok\""), std::string::npos) << search;
    EXPECT_NE(search.find("\"oauth_token\": \"" + loadedToken + "\""), std::string::npos) << search;
}

TEST_F(PinAuthorisationWithService, AWrongPinIsRefusedAndNothingIsWritten) {
    EXPECT_EQ(Run([](const std::string&) { return "0000000"; }),
              PinAuthorisationOutcome::AccessTokenFailed);
    EXPECT_EQ(record_.failureReports, 1);
    EXPECT_FALSE(fs::exists(keyFile_));
    const std::string entry = service_->LastLogEntry();
    EXPECT_NE(entry.find("\"exchange\": \"wrong oauth_verifier\""), std::string::npos) << entry;
}

TEST_F(PinAuthorisationWithService, AnEmptyPinIsSentAsAnEmptyVerifier) {
    EXPECT_EQ(Run([](const std::string&) { return ""; }),
              PinAuthorisationOutcome::AccessTokenFailed);
    const std::string entry = service_->LastLogEntry();
    EXPECT_NE(entry.find("\"oauth_verifier\": \"\""), std::string::npos) << entry;
    EXPECT_FALSE(fs::exists(keyFile_));
}

TEST_F(PinAuthorisationWithService, ARefusedRequestTokenOpensNoBrowser) {
    setConsumerRegistration(consumerKey(), "not-the-registered-secret");
    EXPECT_EQ(RunWithTheShownPin(), PinAuthorisationOutcome::RequestTokenFailed);
    EXPECT_TRUE(record_.openedAddresses.empty());
    EXPECT_EQ(record_.pinRequests, 0);
    EXPECT_EQ(record_.failureReports, 1);
    EXPECT_FALSE(fs::exists(keyFile_));
    const std::string entry = service_->LastLogEntry();
    EXPECT_NE(entry.find("\"signature\": \"bad\""), std::string::npos) << entry;
}

TEST_F(PinAuthorisationWithService, ARequestTokenExchangeThatBreaksOpensNoBrowser) {
    ASSERT_TRUE(service_->Misbehave(R"({"path": "/oauth/request_token", "mode": "close"})"));
    EXPECT_EQ(RunWithTheShownPin(), PinAuthorisationOutcome::RequestTokenFailed);
    EXPECT_TRUE(record_.openedAddresses.empty());
    EXPECT_EQ(record_.failureReports, 1);
}

TEST_F(PinAuthorisationWithService, AnUnreachableServiceOpensNoBrowser) {
    ServiceConfig config = serviceConfig();
    config.serviceUrl = "https://127.0.0.1:9";
    setServiceConfig(config);
    EXPECT_EQ(RunWithTheShownPin(), PinAuthorisationOutcome::RequestTokenFailed);
    EXPECT_TRUE(record_.openedAddresses.empty());
    EXPECT_EQ(record_.pinRequests, 0);
    EXPECT_EQ(record_.failureReports, 1);
    EXPECT_FALSE(fs::exists(keyFile_));
}

TEST_F(PinAuthorisationWithService, AOneLineOrOverlongFileIsReplacedByTheGrantedPair) {
    const std::string tooLong(kCredentialLineLimit + 1, 't');
    for (const std::string& old : {std::string("old-token\r\n"), tooLong + "\r\nold-secret\r\n"}) {
        SCOPED_TRACE(old.substr(0, 12));
        WriteBytes(keyFile_, old);
        ASSERT_FALSE(LoadCredentialFile(keyFile_.string()));
        ASSERT_EQ(RunWithTheShownPin(), PinAuthorisationOutcome::Stored);
        ASSERT_TRUE(LoadCredentialFile(keyFile_.string()));
        EXPECT_EQ(FileBytes(keyFile_), loadedToken + "\n" + loadedTokenSecret + "\n");
        const std::string entry = service_->LastLogEntry();
        EXPECT_NE(entry.find("\"access_token\": \"" + loadedToken + "\""), std::string::npos)
            << entry;
    }
}

}  // namespace
