#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "http/http_fetch.h"
#include "http/io_timeout.h"
#include "http/service_config.h"
#include "http/web_client.h"
#include "local_server.h"
#include "tests/support/temp_folder.h"
#include "test_certificates.h"

namespace {

std::string Text(const std::vector<char>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

void ReplyHello(ServerConnection& connection) {
    connection.ReadRequest();
    connection.Send(HttpReply("200 OK", "hello over tls"));
}

class TlsTransport : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        authority_ = new TestAuthority("tilvane test root");
        stranger_ = new TestAuthority("tilvane unknown root");
    }
    static void TearDownTestSuite() {
        delete authority_;
        delete stranger_;
    }

    void SetUp() override {
        caBundle_ = folder_.path() / "ca.pem";
        authority_->WritePem(caBundle_);
        TrustBundle(caBundle_.string());
    }
    void TearDown() override {
        setServiceConfig(ServiceConfig{});
        SetIoTimeout(kDefaultIoTimeout);
        SetMaxExchangeDuration(kMaxExchangeDuration);
    }

    static void TrustBundle(const std::string& path) {
        ServiceConfig config;
        config.caBundle = path;
        setServiceConfig(config);
    }

    // Runs one TLS exchange and returns the client's failure text ("" on success).
    static std::string ExchangeError(const std::string& url, std::vector<char>& raw) {
        WebClient client;
        const bool ok = client.ExchangeTls(ParseUrl(url), std::nullopt, raw);
        EXPECT_EQ(ok, client.lastError.empty());
        return client.lastError;
    }

    static inline TestAuthority* authority_ = nullptr;
    static inline TestAuthority* stranger_ = nullptr;
    TempFolder folder_;
    std::filesystem::path caBundle_;
};

TEST_F(TlsTransport, AServerTrustedThroughTheExtraBundleIsReachedByAddress) {
    const Credential server = authority_->IssueServer("IP:127.0.0.1,DNS:localhost");
    const ServerContextPtr context = MakeServerContext(server);
    std::string serverName = "unset";
    LocalServer local(
        [&serverName](ServerConnection& connection) {
            serverName = connection.ServerName();
            ReplyHello(connection);
        },
        context.get());
    std::vector<char> body;
    EXPECT_TRUE(HttpFetch(body, local.Url("https", "/1.1/x.json?q=a")));
    EXPECT_EQ(Text(body), "hello over tls");
    EXPECT_EQ(serverName, "") << "no server name for an address literal";
    ASSERT_EQ(local.Requests().size(), 1u);
    EXPECT_TRUE(
        local.Requests()[0].starts_with("GET /1.1/x.json?q=a HTTP/1.0\r\nHost: 127.0.0.1\r\n"));
}

TEST_F(TlsTransport, AServerTrustedThroughTheExtraBundleIsReachedByNameWithSni) {
    const Credential server = authority_->IssueServer("DNS:localhost");
    const ServerContextPtr context = MakeServerContext(server);
    std::string serverName;
    LocalServer local(
        [&serverName](ServerConnection& connection) {
            serverName = connection.ServerName();
            connection.ReadRequest();
            connection.SendInPieces(HttpReply("200 OK", std::string(20000, 'p')), 1000);
        },
        context.get());
    std::vector<char> body;
    EXPECT_TRUE(HttpFetch(body, local.Url("https", "/oauth/request_token", "localhost"), "a=1"));
    EXPECT_EQ(Text(body), std::string(20000, 'p'));
    EXPECT_EQ(serverName, "localhost");
    ASSERT_EQ(local.Requests().size(), 1u);
    EXPECT_TRUE(local.Requests()[0].ends_with("\r\n\r\na=1"));
}

TEST_F(TlsTransport, AnUntrustedCertificateIsRefusedBeforeAnythingIsSent) {
    const Credential server = stranger_->IssueServer("IP:127.0.0.1,DNS:localhost");
    const ServerContextPtr context = MakeServerContext(server);
    LocalServer local(ReplyHello, context.get());
    std::vector<char> raw{'x'};
    const std::string error = ExchangeError(local.Url("https", "/"), raw);
    EXPECT_NE(error.find("certificate verify failed"), std::string::npos) << error;
    EXPECT_TRUE(raw.empty());

    std::vector<char> body{'x'};
    EXPECT_FALSE(HttpFetch(body, local.Url("https", "/")));
    EXPECT_TRUE(body.empty());
    EXPECT_TRUE(local.Requests().empty());
}

TEST_F(TlsTransport, TheSystemRootsAloneDoNotTrustATestAuthority) {
    setServiceConfig(ServiceConfig{});
    const Credential server = authority_->IssueServer("IP:127.0.0.1,DNS:localhost");
    const ServerContextPtr context = MakeServerContext(server);
    LocalServer local(ReplyHello, context.get());
    std::vector<char> body;
    EXPECT_FALSE(HttpFetch(body, local.Url("https", "/")));
    EXPECT_TRUE(body.empty());
    EXPECT_TRUE(local.Requests().empty());
}

TEST_F(TlsTransport, ACertificateForAnotherNameOrAddressIsRefused) {
    const Credential server = authority_->IssueServer("DNS:elsewhere.example,IP:127.0.0.2");
    const ServerContextPtr context = MakeServerContext(server);
    LocalServer local(ReplyHello, context.get());
    for (const char* host : {"localhost", "127.0.0.1"}) {
        SCOPED_TRACE(host);
        std::vector<char> raw;
        const std::string error = ExchangeError(local.Url("https", "/", host), raw);
        EXPECT_NE(error.find("certificate verify failed"), std::string::npos) << error;
    }
    EXPECT_TRUE(local.Requests().empty());
}

TEST_F(TlsTransport, AnUnreadableBundleFailsTheExchange) {
    TrustBundle((folder_.path() / "missing.pem").string());
    const Credential server = authority_->IssueServer("IP:127.0.0.1");
    const ServerContextPtr context = MakeServerContext(server);
    LocalServer local(ReplyHello, context.get());
    std::vector<char> raw;
    EXPECT_NE(ExchangeError(local.Url("https", "/"), raw), "");
    EXPECT_TRUE(local.Requests().empty());
}

TEST_F(TlsTransport, AServerThatNeverAnswersTheHandshakeIsEndedByTheTimeOut) {
    SetIoTimeout(std::chrono::milliseconds(500));
    LocalServer silent([](ServerConnection& connection) { connection.StallUntilStopped(); });
    std::vector<char> raw;
    EXPECT_EQ(ExchangeError(silent.Url("https", "/"), raw), "TLS handshake timed out.");
}

TEST_F(TlsTransport, AStallAfterTheHandshakeIsEndedByTheTimeOut) {
    SetIoTimeout(std::chrono::milliseconds(500));
    const Credential server = authority_->IssueServer("IP:127.0.0.1");
    const ServerContextPtr context = MakeServerContext(server);
    LocalServer local(
        [](ServerConnection& connection) {
            connection.ReadRequest();
            connection.Send("HTTP/1.0 200 OK\r\n\r\npart");
            connection.StallUntilStopped();
        },
        context.get());
    std::vector<char> raw;
    EXPECT_EQ(ExchangeError(local.Url("https", "/"), raw), "receive timed out.");
    EXPECT_TRUE(raw.empty());
}

TEST_F(TlsTransport, AReplyStillArrivingAtTheDeadlineFails) {
    SetIoTimeout(std::chrono::seconds(20));
    SetMaxExchangeDuration(std::chrono::milliseconds(600));
    const Credential server = authority_->IssueServer("IP:127.0.0.1");
    const ServerContextPtr context = MakeServerContext(server);
    LocalServer local(
        [](ServerConnection& connection) {
            connection.ReadRequest();
            connection.Send("HTTP/1.0 200 OK\r\n\r\npart");
            connection.StallUntilStopped();
        },
        context.get());
    std::vector<char> raw;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ExchangeError(local.Url("https", "/"), raw), "reply took too long.");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
    EXPECT_TRUE(raw.empty());
}

TEST_F(TlsTransport, APlainServerOnTheTlsPortFailsTheHandshake) {
    LocalServer plain(
        [](ServerConnection& connection) { connection.Send(HttpReply("200 OK", "not tls")); });
    std::vector<char> body;
    EXPECT_FALSE(HttpFetch(body, plain.Url("https", "/")));
    EXPECT_TRUE(body.empty());
}

TEST_F(TlsTransport, FailedExchangesLeaveNoSocketOpen) {
    const auto openDescriptors = [] {
        const auto entries = std::filesystem::directory_iterator("/proc/self/fd");
        return std::distance(std::filesystem::begin(entries), std::filesystem::end(entries));
    };
    const auto before = openDescriptors();
    SetIoTimeout(std::chrono::milliseconds(300));
    {
        const Credential server = stranger_->IssueServer("IP:127.0.0.1");
        const ServerContextPtr context = MakeServerContext(server);
        LocalServer untrusted(ReplyHello, context.get());
        LocalServer silent([](ServerConnection& connection) { connection.StallUntilStopped(); });
        for (const std::string& url :
             {untrusted.Url("https", "/"), silent.Url("https", "/"),
              "https://127.0.0.1:" + std::to_string(UnusedLocalPort()) + "/"}) {
            std::vector<char> raw;
            EXPECT_NE(ExchangeError(url, raw), "") << url;
        }
    }
    EXPECT_EQ(openDescriptors(), before);
}

}  // namespace
