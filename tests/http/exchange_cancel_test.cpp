// A requested cancel ends an exchange that a server holds open, in whichever phase it is:
// handshake, reply, or a reply dribbling in. The time-outs here are far longer than the
// hang guard, so only the cancel can end these exchanges in time.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "http/http_fetch.h"
#include "http/io_cancel.h"
#include "http/io_timeout.h"
#include "http/service_config.h"
#include "local_server.h"
#include "test_certificates.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace std::chrono_literals;

std::atomic<bool> cancelNow{false};

bool CancelNow() {
    return cancelNow.load();
}

// Generous: a working cancel ends an exchange within a fraction of a second.
constexpr auto kHangGuard = 5s;

class ExchangeCancel : public testing::Test {
  protected:
    void SetUp() override {
        cancelNow = false;
        SetCancelCheck(&CancelNow);
        SetIoTimeout(20s);
        caBundle_ = folder_.path() / "ca.pem";
        authority_.WritePem(caBundle_);
        ServiceConfig config;
        config.caBundle = caBundle_.string();
        setServiceConfig(config);
    }
    void TearDown() override {
        SetCancelCheck(nullptr);
        setServiceConfig(ServiceConfig{});
        SetIoTimeout(kDefaultIoTimeout);
    }

    // Starts a fetch of url, cancels it once ready() holds (or after a second), and
    // expects the fetch to fail with an empty body before the hang guard runs out.
    template <typename Ready>
    void ExpectCancelled(const std::string& url, Ready ready) {
        ExpectFetchCancelled(
            [url] {
                std::vector<char> body;
                const bool ok = HttpFetch(body, url);
                return std::make_pair(ok, body.size());
            },
            ready);
    }

    // The same for any fetch that gives back (success, body size).
    template <typename Fetch, typename Ready>
    void ExpectFetchCancelled(Fetch fetchOnce, Ready ready) {
        auto fetch = std::async(std::launch::async, fetchOnce);
        for (int i = 0; i < 100 && !ready(); ++i) {
            std::this_thread::sleep_for(10ms);
        }
        ASSERT_EQ(fetch.wait_for(0s), std::future_status::timeout) << "ended before the cancel";
        cancelNow = true;
        ASSERT_EQ(fetch.wait_for(kHangGuard), std::future_status::ready);
        const auto [ok, bodySize] = fetch.get();
        EXPECT_FALSE(ok);
        EXPECT_EQ(bodySize, 0u);
    }

    TestAuthority authority_{"tilvane cancel root"};
    TempFolder folder_;
    std::filesystem::path caBundle_;
};

TEST_F(ExchangeCancel, EndsAStalledReplyAndADribbledOne) {
    LocalServer stalling([](ServerConnection& connection) {
        connection.ReadRequest();
        connection.Send("HTTP/1.0 200 OK\r\n");
        connection.StallUntilStopped();
    });
    ExpectCancelled(stalling.Url("http", "/"), [&] { return !stalling.Requests().empty(); });

    cancelNow = false;
    LocalServer dribbling([](ServerConnection& connection) {
        connection.ReadRequest();
        connection.SendInPieces(HttpReply("200 OK", std::string(4000, 'd')), 2, 50ms);
    });
    ExpectCancelled(dribbling.Url("http", "/"), [&] { return !dribbling.Requests().empty(); });
}

TEST_F(ExchangeCancel, EndsAStalledGetWithOptionsAsTheHashtagTimelineSendsIt) {
    LocalServer stalling([](ServerConnection& connection) {
        connection.ReadRequest();
        connection.Send("HTTP/1.0 200 OK\r\nX-RateLimit-Remaining: 299\r\n\r\n[");
        connection.StallUntilStopped();
    });
    const std::string url = stalling.Url("http", "/api/v1/timelines/tag/cats?limit=20");
    ExpectFetchCancelled(
        [url] {
            std::vector<char> body;
            FetchOptions options;
            options.userAgent = "tilvane/test";
            FetchReply reply;
            const bool ok = HttpFetch(body, url, options, reply);
            EXPECT_FALSE(reply.status.has_value());
            return std::make_pair(ok, body.size());
        },
        [&] { return !stalling.Requests().empty(); });
}

TEST_F(ExchangeCancel, EndsAHandshakeThatNeverGetsAnAnswerAndAStallAfterIt) {
    std::atomic<bool> accepted{false};
    LocalServer silent([&](ServerConnection& connection) {
        accepted = true;
        connection.StallUntilStopped();
    });
    ExpectCancelled(silent.Url("https", "/"), [&] { return accepted.load(); });

    cancelNow = false;
    const Credential credential = authority_.IssueServer("IP:127.0.0.1");
    const ServerContextPtr context = MakeServerContext(credential);
    LocalServer stalling(
        [](ServerConnection& connection) {
            connection.ReadRequest();
            connection.Send("HTTP/1.0 200 OK\r\n\r\npart");
            connection.StallUntilStopped();
        },
        context.get());
    ExpectCancelled(stalling.Url("https", "/"), [&] { return !stalling.Requests().empty(); });
}

TEST_F(ExchangeCancel, NothingConnectsOnceACancelIsRequested) {
    LocalServer server([](ServerConnection& connection) {
        connection.ReadRequest();
        connection.Send(HttpReply("200 OK", "too late"));
    });
    cancelNow = true;
    std::vector<char> body;
    EXPECT_FALSE(HttpFetch(body, server.Url("http", "/")));
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(server.HandledConnections(), 0);

    // Without a check installed nothing is ever cancelled.
    SetCancelCheck(nullptr);
    EXPECT_TRUE(HttpFetch(body, server.Url("http", "/")));
}

}  // namespace
