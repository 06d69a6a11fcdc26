#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/http_response.h"

namespace {

HttpResponse Parse(const std::string& raw) {
    HttpResponse response;
    response.headerLines = {"stale"};
    response.body = {'x'};
    ParseResponse(raw.data(), raw.data() + raw.size(), response);
    return response;
}

std::string BodyText(const HttpResponse& response) {
    return std::string(response.body.begin(), response.body.end());
}

std::optional<unsigned> StatusOf(const std::string& statusLine) {
    HttpResponse response;
    response.headerLines = {statusLine};
    return ReadStatusCode(response);
}

TEST(ParseResponse, SplitsHeaderLinesFromABodyKeptByteForByte) {
    const std::string body("a\r\nb\n\0c\r\r\n", 11);
    for (const std::string lineEnd : {"\r\n", "\n", "\r"}) {
        SCOPED_TRACE(testing::PrintToString(lineEnd));
        const HttpResponse response = Parse("HTTP/1.0 200 OK" + lineEnd + "Server: x" + lineEnd +
                                            "Content-Type: text/plain" + lineEnd + lineEnd + body);
        EXPECT_EQ(response.headerLines, (std::vector<std::string>{"HTTP/1.0 200 OK", "Server: x",
                                                                  "Content-Type: text/plain"}));
        EXPECT_EQ(BodyText(response), body);
    }
}

TEST(ParseResponse, AcceptsMixedLineEnds) {
    const HttpResponse response = Parse("HTTP/1.0 200 OK\nA: 1\r\nB: 2\r\r\nbody");
    EXPECT_EQ(response.headerLines, (std::vector<std::string>{"HTTP/1.0 200 OK", "A: 1", "B: 2"}));
    EXPECT_EQ(BodyText(response), "body");
}

TEST(ParseResponse, EndingRightAfterTheEmptyLineGivesAnEmptyBody) {
    const HttpResponse response = Parse("HTTP/1.0 204 No Content\r\nA: 1\r\n\r\n");
    EXPECT_EQ(response.headerLines.size(), 2u);
    EXPECT_TRUE(response.body.empty());
}

TEST(ParseResponse, EndingRightAfterALineEndGivesNoBody) {
    const HttpResponse response = Parse("HTTP/1.0 200 OK\r\n");
    EXPECT_EQ(response.headerLines, std::vector<std::string>{"HTTP/1.0 200 OK"});
    EXPECT_TRUE(response.body.empty());
}

TEST(ParseResponse, AnUnterminatedLastLineBecomesTheBody) {
    const HttpResponse lone = Parse("HTTP/1.0 200 OK");
    EXPECT_TRUE(lone.headerLines.empty());
    EXPECT_EQ(BodyText(lone), "HTTP/1.0 200 OK");
    EXPECT_FALSE(ReadStatusCode(lone));

    const HttpResponse broken = Parse("HTTP/1.0 200 OK\r\nContent-Ty");
    EXPECT_EQ(broken.headerLines, std::vector<std::string>{"HTTP/1.0 200 OK"});
    EXPECT_EQ(BodyText(broken), "Content-Ty");
    EXPECT_EQ(ReadStatusCode(broken), 200u);
}

TEST(ParseResponse, LeadingLineEnds) {
    const HttpResponse two = Parse("\r\n\r\nHTTP/1.0 200 OK\r\n\r\nrest");
    EXPECT_TRUE(two.headerLines.empty());
    EXPECT_EQ(BodyText(two), "HTTP/1.0 200 OK\r\n\r\nrest");

    const HttpResponse one = Parse("\r\nHTTP/1.0 200 OK\r\n\r\nrest");
    EXPECT_EQ(one.headerLines, std::vector<std::string>{"HTTP/1.0 200 OK"});
    EXPECT_EQ(BodyText(one), "rest");
}

TEST(ParseResponse, EmptyAndTerminatorOnlyInputs) {
    EXPECT_TRUE(Parse("").headerLines.empty());
    EXPECT_TRUE(Parse("").body.empty());
    for (const std::string raw : {"\r", "\n", "\r\n", "\n\n", "\r\r"}) {
        SCOPED_TRACE(testing::PrintToString(raw));
        const HttpResponse response = Parse(raw);
        EXPECT_TRUE(response.headerLines.empty());
        EXPECT_TRUE(response.body.empty());
    }
}

TEST(ReadStatusCode, OnlyAWellFormedStatusLineGivesACode) {
    EXPECT_EQ(StatusOf("HTTP/1.1 200 Whatever it says"), 200u);
    EXPECT_EQ(StatusOf("HTTP/1.0 404 Not Found"), 404u);
    EXPECT_EQ(StatusOf("HTTP/2.0  500"), 500u);
    EXPECT_EQ(StatusOf("HTTP/1.1 200OK"), 200u);
    EXPECT_FALSE(StatusOf("http/1.1 200 OK"));
    EXPECT_FALSE(StatusOf("ICY 200 OK"));
    EXPECT_FALSE(StatusOf("HTTP/1 200 OK"));
    EXPECT_FALSE(StatusOf("HTTP/1.1"));
    EXPECT_FALSE(StatusOf("HTTP/1.1 OK"));
    EXPECT_FALSE(StatusOf("HTTP/1.1 99999999999999999999"));
    EXPECT_FALSE(
        StatusOf(std::string("HTTP/1.1 \0"
                             "200",
                             13)));
    EXPECT_FALSE(ReadStatusCode(HttpResponse{}));
}

TEST(ReadStatusCode, ReadsOnlyTheFirstLine) {
    HttpResponse response;
    response.headerLines = {"Server: x", "HTTP/1.0 200 OK"};
    EXPECT_FALSE(ReadStatusCode(response));
}

TEST(HeaderValue, FindsANameInAnyCaseTrimmedAndNeverTheStatusLine) {
    const std::vector<std::string> lines{"X-RateLimit-Reset: not the status line",
                                         "Content-Type: text/plain",
                                         "x-ratelimit-reset: \t2026 \t",
                                         "X-RateLimit-Reset: second",
                                         "Empty:",
                                         "NoColon"};
    EXPECT_EQ(HeaderValue(lines, "X-RateLimit-Reset"), "2026");
    EXPECT_EQ(HeaderValue(lines, "empty"), "");
    EXPECT_FALSE(HeaderValue(lines, "NoColon").has_value());
    EXPECT_FALSE(HeaderValue(lines, "Content").has_value());
    EXPECT_FALSE(HeaderValue({}, "Content-Type").has_value());
}

}  // namespace
