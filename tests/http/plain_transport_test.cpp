#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "http/byte_stream.h"
#include "http/http_fetch.h"
#include "http/io_timeout.h"
#include "http/web_client.h"
#include "local_server.h"

namespace {

std::string Text(const std::vector<char>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

class PlainTransport : public testing::Test {
  protected:
    void TearDown() override {
        SetIoTimeout(kDefaultIoTimeout);
        SetMaxExchangeDuration(kMaxExchangeDuration);
    }
};

// A valid reply of about 130 bytes, four at a time every 40 ms: about 1.3 s in all.
void DribbleReply(ServerConnection& connection) {
    connection.ReadRequest();
    connection.SendInPieces(HttpReply("200 OK", std::string(80, 'd')), 4,
                            std::chrono::milliseconds(40));
}

TEST_F(PlainTransport, GetSendsTheExactRequestAndReturnsTheBody) {
    LocalServer server([](ServerConnection& connection) {
        connection.ReadRequest();
        connection.Send(HttpReply("200 OK", "hello\r\n\r\nworld"));
    });
    std::vector<char> body{'o', 'l', 'd'};
    EXPECT_TRUE(HttpFetch(body, server.Url("http", "/a/b?c=d:e&f=%20")));
    EXPECT_EQ(Text(body), "hello\r\n\r\nworld");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0],
              "GET /a/b?c=d:e&f=%20 HTTP/1.0\r\nHost: 127.0.0.1\r\nUser-Agent: Generic Web "
              "Client\r\nAccept: */*\r\nConnection: close\r\n\r\n");
}

TEST_F(PlainTransport, AGetWithOptionsSendsItsLinesAndHandsBackStatusAndHeaders) {
    LocalServer server([](ServerConnection& connection) {
        connection.ReadRequest();
        connection.Send(
            "HTTP/1.1 429 Too Many Requests\r\nX-RateLimit-Remaining: 0\r\n\r\nslow down");
    });
    FetchOptions options;
    options.userAgent = "tilvane/9.9";
    options.extraHeaderLines = {"Authorization: Bearer t0ken", "X-Evil: a\r\nHost: other"};
    std::vector<char> body;
    FetchReply reply;
    EXPECT_FALSE(HttpFetch(body, server.Url("http", "/api/v1/x?limit=2"), options, reply));
    EXPECT_EQ(Text(body), "slow down");
    EXPECT_EQ(reply.status, 429u);
    EXPECT_EQ(reply.headerLines, (std::vector<std::string>{"HTTP/1.1 429 Too Many Requests",
                                                           "X-RateLimit-Remaining: 0"}));
    ASSERT_EQ(server.Requests().size(), 1u);
    // A line that would smuggle in a header of its own is not sent at all.
    EXPECT_EQ(server.Requests()[0],
              "GET /api/v1/x?limit=2 HTTP/1.0\r\nHost: 127.0.0.1\r\nUser-Agent: tilvane/9.9\r\n"
              "Accept: */*\r\nConnection: close\r\nAuthorization: Bearer t0ken\r\n\r\n");

    FetchReply failed{200u, {"stale"}};
    EXPECT_FALSE(HttpFetch(body, "http://127.0.0.1:" + std::to_string(UnusedLocalPort()) + "/",
                           options, failed));
    EXPECT_FALSE(failed.status.has_value());
    EXPECT_TRUE(failed.headerLines.empty());
}

TEST_F(PlainTransport, AGetWithOptionsStopsReadingAtItsOwnReplyLimit) {
    const std::string reply = HttpReply("200 OK", std::string(100, 'j'));
    LocalServer server([&reply](ServerConnection& connection) {
        connection.ReadRequest();
        connection.Send(reply);
    });
    FetchOptions options;
    options.maxReplyBytes = reply.size();
    std::vector<char> body;
    FetchReply fetched;
    EXPECT_TRUE(HttpFetch(body, server.Url("http", "/"), options, fetched));
    EXPECT_EQ(body.size(), 100u);
    options.maxReplyBytes = reply.size() - 1;
    EXPECT_FALSE(HttpFetch(body, server.Url("http", "/"), options, fetched));
    EXPECT_TRUE(body.empty());
    EXPECT_FALSE(fetched.status.has_value());
}

TEST_F(PlainTransport, PostSendsTheBodyRightAfterTheHead) {
    LocalServer server([](ServerConnection& connection) {
        connection.ReadRequest();
        connection.Send(HttpReply("200 OK", "oauth_token=t"));
    });
    std::vector<char> body;
    EXPECT_TRUE(HttpFetch(body, server.Url("http", "/oauth/request_token"), "a=1&b=%26"));
    EXPECT_EQ(Text(body), "oauth_token=t");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_TRUE(server.Requests()[0].starts_with("POST /oauth/request_token HTTP/1.0\r\n"));
    EXPECT_TRUE(server.Requests()[0].ends_with(
        "Content-Length: 9\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\na=1&b=%26"));
}

TEST_F(PlainTransport, OptionsWithAJsonBodyPostItAsJson) {
    LocalServer server([](ServerConnection& connection) {
        connection.ReadRequest();
        connection.Send(HttpReply("200 OK", "[]"));
    });
    FetchOptions options;
    options.userAgent = "tilvane/9.9";
    options.jsonBody = R"({"tag":"cats"})";
    std::vector<char> body;
    FetchReply reply;
    EXPECT_TRUE(HttpFetch(body, server.Url("http", "/api/notes/search-by-tag"), options, reply));
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_TRUE(server.Requests()[0].starts_with("POST /api/notes/search-by-tag HTTP/1.0\r\n"));
    EXPECT_TRUE(server.Requests()[0].ends_with(
        "Content-Length: 14\r\nContent-Type: application/json\r\n\r\n{\"tag\":\"cats\"}"));
}

TEST_F(PlainTransport, AnEmptyFormBodyStillPostsWithLengthZeroAndNothingBehind) {
    LocalServer server([](ServerConnection& connection) {
        connection.ReadRequest();
        connection.Send(HttpReply("200 OK", ""));
    });
    std::vector<char> body;
    EXPECT_TRUE(HttpFetch(body, server.Url("http", "/t"), ""));
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_TRUE(server.Requests()[0].starts_with("POST /t HTTP/1.0\r\n"));
    EXPECT_TRUE(server.Requests()[0].ends_with(
        "Content-Length: 0\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n"));
}

TEST_F(PlainTransport, AReplyInManyPiecesIsReassembled) {
    std::string payload;
    for (int i = 0; i < 3000; ++i) {
        payload += std::to_string(i) + ",";
    }
    LocalServer server([&payload](ServerConnection& connection) {
        connection.ReadRequest();
        connection.SendInPieces(HttpReply("200 OK", payload), 7);
    });
    std::vector<char> body;
    EXPECT_TRUE(HttpFetch(body, server.Url("http", "/")));
    EXPECT_EQ(Text(body), payload);
}

TEST_F(PlainTransport, AResetAfterACompleteReplyKeepsWhatArrived) {
    LocalServer server([](ServerConnection& connection) {
        connection.ReadRequest();
        connection.Send(HttpReply("200 OK", "complete"));
        connection.Reset();
    });
    std::vector<char> body;
    EXPECT_TRUE(HttpFetch(body, server.Url("http", "/")));
    EXPECT_EQ(Text(body), "complete");
}

TEST_F(PlainTransport, ACloseWithoutAByteFails) {
    LocalServer server([](ServerConnection& connection) { connection.ReadRequest(); });
    std::vector<char> body{'x'};
    EXPECT_FALSE(HttpFetch(body, server.Url("http", "/")));
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(server.HandledConnections(), 1);
}

TEST_F(PlainTransport, AnErrorStatusFailsButHandsTheBodyOver) {
    for (const char* status : {"404 Not Found", "201 Created", "301 Moved", "500 Oops"}) {
        SCOPED_TRACE(status);
        LocalServer server([status](ServerConnection& connection) {
            connection.ReadRequest();
            connection.Send(HttpReply(status, std::string("error page ") + status));
        });
        std::vector<char> body;
        EXPECT_FALSE(HttpFetch(body, server.Url("http", "/missing")));
        EXPECT_EQ(Text(body), std::string("error page ") + status);
    }
}

TEST_F(PlainTransport, ConnectionFailuresNameTheirStep) {
    const Url unresolvable = ParseUrl("http://no-such-host.invalid/x");
    WebClient client;
    std::vector<char> raw{'x'};
    EXPECT_FALSE(client.ExchangePlain(unresolvable, std::nullopt, raw));
    EXPECT_EQ(client.lastError, "gethostbyname failed.");
    EXPECT_TRUE(raw.empty());

    const Url refused = ParseUrl("http://127.0.0.1:" + std::to_string(UnusedLocalPort()) + "/");
    WebClient second;
    EXPECT_FALSE(second.ExchangePlain(refused, std::nullopt, raw));
    EXPECT_EQ(second.lastError, "connect failed.");

    std::vector<char> body{'x'};
    EXPECT_FALSE(HttpFetch(body, "http://no-such-host.invalid/x"));
    EXPECT_TRUE(body.empty());
}

TEST_F(PlainTransport, AStalledServerIsEndedByTheTimeOut) {
    SetIoTimeout(std::chrono::milliseconds(500));
    LocalServer server([](ServerConnection& connection) {
        connection.ReadRequest();
        connection.Send("HTTP/1.0 200 OK\r\n");
        connection.StallUntilStopped();
    });
    WebClient client;
    std::vector<char> raw;
    EXPECT_FALSE(client.ExchangePlain(ParseUrl(server.Url("http", "/")), std::nullopt, raw));
    EXPECT_EQ(client.lastError, "receive timed out.");
    EXPECT_TRUE(raw.empty());
}

TEST_F(PlainTransport, AReplyStillArrivingAtTheDeadlineFails) {
    // The time-out is far longer than any pause, so only the deadline can end these.
    SetIoTimeout(std::chrono::seconds(20));
    SetMaxExchangeDuration(std::chrono::milliseconds(600));
    LocalServer dribbling(DribbleReply);
    LocalServer stalling([](ServerConnection& connection) {
        connection.ReadRequest();
        connection.Send("HTTP/1.0 200 OK\r\n");
        connection.StallUntilStopped();
    });
    for (LocalServer* server : {&dribbling, &stalling}) {
        WebClient client;
        std::vector<char> raw;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(client.ExchangePlain(ParseUrl(server->Url("http", "/")), std::nullopt, raw));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
        EXPECT_EQ(client.lastError, "reply took too long.");
        EXPECT_TRUE(raw.empty());
    }
}

TEST_F(PlainTransport, ADribbledReplyWithinTheDefaultDeadlineArrivesWhole) {
    LocalServer server(DribbleReply);
    std::vector<char> body;
    EXPECT_TRUE(HttpFetch(body, server.Url("http", "/")));
    EXPECT_EQ(Text(body), std::string(80, 'd'));
}

TEST_F(PlainTransport, AnOversizedReplyFails) {
    LocalServer server([](ServerConnection& connection) {
        connection.ReadRequest();
        const std::string head = "HTTP/1.0 200 OK\r\n\r\n";
        connection.Send(head);
        connection.Send(std::string(kMaxReplyBytes - head.size() + 1, 'x'));
    });
    WebClient client;
    std::vector<char> raw;
    EXPECT_FALSE(client.ExchangePlain(ParseUrl(server.Url("http", "/")), std::nullopt, raw));
    EXPECT_EQ(client.lastError, "reply too large.");
    EXPECT_TRUE(raw.empty());
}

}  // namespace
