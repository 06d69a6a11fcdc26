#include <gtest/gtest.h>

#include <string>

#include "http/socket.h"
#include "http/url.h"
#include "http/web_client.h"

namespace {

TEST(ParseUrl, SplitsSchemeHostAndPathWithQuery) {
    const Url url = ParseUrl("https://api.example.com/1.1/search/tweets.json?q=a%20b&count=5");
    EXPECT_EQ(url.scheme, "https");
    EXPECT_EQ(url.host, "api.example.com");
    EXPECT_EQ(url.port, 0);
    EXPECT_EQ(url.path, "/1.1/search/tweets.json?q=a%20b&count=5");
}

TEST(ParseUrl, ReadsAnExplicitPortWithoutAScheme) {
    const Url url = ParseUrl("example.com:8080/index.html#top");
    EXPECT_EQ(url.scheme, "");
    EXPECT_EQ(url.host, "example.com");
    EXPECT_EQ(url.port, 8080);
    EXPECT_EQ(url.path, "/index.html#top");
    EXPECT_FALSE(url.UsesTls());
}

TEST(ParseUrl, WithoutASlashAfterTheHostOnlyTheSchemeIsKept) {
    const Url url = ParseUrl("https://example.com:443");
    EXPECT_EQ(url.scheme, "https");
    EXPECT_EQ(url.host, "");
    EXPECT_EQ(url.port, 0);
    EXPECT_EQ(url.path, "");

    const Url empty = ParseUrl("");
    EXPECT_EQ(empty.scheme, "");
    EXPECT_EQ(empty.host, "");
    EXPECT_EQ(empty.path, "");
}

TEST(ParseUrl, UnusablePortTextsCountAsNoPortButStillEndTheHost) {
    for (const char* text : {"http://h:/p", "http://h:8a/p", "http://h:0/p", "http://h:70000/p",
                             "http://h:-1/p", "http://h:99999999999999999999999/p"}) {
        SCOPED_TRACE(text);
        const Url url = ParseUrl(text);
        EXPECT_EQ(url.host, "h");
        EXPECT_EQ(url.port, 0);
        EXPECT_EQ(url.path, "/p");
    }
    EXPECT_EQ(ParseUrl("http://h:65535/p").port, 65535);
    EXPECT_EQ(ParseUrl("http://h:1/p").port, 1);
}

TEST(ParseUrl, AColonBehindTheSlashOrAtTheStartIsNotAPort) {
    const Url inPath = ParseUrl("http://example.com/a:b?c=d:80");
    EXPECT_EQ(inPath.host, "example.com");
    EXPECT_EQ(inPath.port, 0);
    EXPECT_EQ(inPath.path, "/a:b?c=d:80");

    const Url leading = ParseUrl("http://:80/x");
    EXPECT_EQ(leading.host, ":80");
    EXPECT_EQ(leading.port, 0);
    EXPECT_EQ(leading.path, "/x");
}

TEST(ParseUrl, KeepsTheSchemeAndUserInformationUnchanged) {
    const Url url = ParseUrl("HTTPS://user@example.com/x");
    EXPECT_EQ(url.scheme, "HTTPS");
    EXPECT_EQ(url.host, "user@example.com");
}

TEST(UrlUsesTls, FollowsTheSchemeThenPort443) {
    EXPECT_TRUE(ParseUrl("https://h/").UsesTls());
    EXPECT_TRUE(ParseUrl("https://h:80/").UsesTls());
    EXPECT_FALSE(ParseUrl("http://h/").UsesTls());
    EXPECT_FALSE(ParseUrl("http://h:443/").UsesTls());
    EXPECT_TRUE(ParseUrl("h:443/").UsesTls());
    EXPECT_FALSE(ParseUrl("h/").UsesTls());
    EXPECT_FALSE(ParseUrl("HTTPS://h/").UsesTls());
    EXPECT_TRUE(ParseUrl("HTTPS://h:443/").UsesTls());
}

TEST(ResolvePort, PrefersTheExplicitPortThenTheServiceDatabase) {
    EXPECT_EQ(ResolvePort(ParseUrl("https://h:8443/"), "https"), 8443);
    EXPECT_EQ(ResolvePort(ParseUrl("https://h/"), "https"), 443);
    EXPECT_EQ(ResolvePort(ParseUrl("http://h/"), "http"), 80);
    // An unknown scheme falls back on the transport's service.
    EXPECT_EQ(ResolvePort(ParseUrl("nosuchservice-tilvane://h/"), "https"), 443);
    EXPECT_EQ(ResolvePort(ParseUrl("h/"), "http"), 80);
}

TEST(ResolvePort, UsesTheSchemesOwnServicePort) {
    // A service the database knows under the scheme's name wins over the transport's.
    const int ftp = LookupServicePort("ftp");
    if (ftp == 0) {
        GTEST_SKIP() << "no service database entry for ftp";
    }
    EXPECT_EQ(ResolvePort(ParseUrl("ftp://h/"), "http"), ftp);
}

TEST(BuildRequestText, GetHasTheFourFixedLinesAndNoPortInHost) {
    const Url url = ParseUrl("https://api.example.com:8443/1.1/x.json?q=%E3%81%82&count=5");
    WebClient client;
    client.BuildHeaders(url, std::nullopt);
    EXPECT_EQ(client.BuildRequestText(url, std::nullopt),
              "GET /1.1/x.json?q=%E3%81%82&count=5 HTTP/1.0\r\n"
              "Host: api.example.com\r\n"
              "User-Agent: Generic Web Client\r\n"
              "Accept: */*\r\n"
              "Connection: close\r\n"
              "\r\n");
}

TEST(BuildRequestText, PostAddsLengthAndTypeEvenForAnEmptyBody) {
    const Url url = ParseUrl("https://h/oauth/request_token");
    for (const std::string body : {"", "a=1&b=2"}) {
        WebClient client;
        client.BuildHeaders(url, body);
        ASSERT_EQ(client.requestHeaders.size(), 6u);
        EXPECT_EQ(client.requestHeaders[4], "Content-Length: " + std::to_string(body.size()));
        EXPECT_EQ(client.requestHeaders[5], "Content-Type: application/x-www-form-urlencoded");
        const std::string text = client.BuildRequestText(url, body);
        EXPECT_TRUE(text.starts_with("POST /oauth/request_token HTTP/1.0\r\nHost: h\r\n")) << text;
        EXPECT_TRUE(text.ends_with("application/x-www-form-urlencoded\r\n\r\n")) << text;
        if (!body.empty()) {
            EXPECT_EQ(text.find(body), std::string::npos) << "the body travels after the text";
        }
    }
}

}  // namespace
