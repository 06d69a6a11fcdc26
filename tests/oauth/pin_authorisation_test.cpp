#include <gtest/gtest.h>

#include <string>

#include "oauth/browser_address.h"
#include "oauth/pin_authorisation.h"

namespace {

using namespace std::string_literals;

TEST(ExtractResponseValue, ReadsEachValueOfATokenReply) {
    const std::string reply =
        "oauth_token=RT123&oauth_token_secret=RS456&oauth_callback_confirmed=true";
    EXPECT_EQ(ExtractResponseValue(reply, "oauth_token="), "RT123");
    EXPECT_EQ(ExtractResponseValue(reply, "oauth_token_secret="), "RS456");
    EXPECT_EQ(ExtractResponseValue(reply, "oauth_callback_confirmed="), "true");

    // The token key does not match inside the secret's key, whichever comes first.
    const std::string swapped = "oauth_token_secret=S&oauth_token=T&user_id=1";
    EXPECT_EQ(ExtractResponseValue(swapped, "oauth_token="), "T");
    EXPECT_EQ(ExtractResponseValue(swapped, "oauth_token_secret="), "S");

    // The first occurrence counts; an empty value is empty.
    EXPECT_EQ(ExtractResponseValue("oauth_token=1&oauth_token=2&", "oauth_token="), "1");
    EXPECT_EQ(ExtractResponseValue("oauth_token=&oauth_token_secret=S&", "oauth_token="), "");
}

TEST(ExtractResponseValue, AnAbsentKeyGivesNothing) {
    for (const std::string& reply :
         {""s, "Error processing your OAuth request: Invalid oauth_verifier parameter"s,
          R"({"errors":[{"code":32,"message":"Could not authenticate you."}]})"s,
          "oauth_token_secret=S&x=1"s}) {
        SCOPED_TRACE(reply);
        EXPECT_EQ(ExtractResponseValue(reply, "oauth_token="), "");
    }
}

TEST(ExtractResponseValue, TheLastValueRunsToTheEndWithoutItsLineEnd) {
    const struct {
        std::string reply;
        std::string secret;
    } cases[] = {
        {"oauth_token=T&oauth_token_secret=S", "S"},
        {"oauth_token=T&oauth_token_secret=S\r\n", "S"},
        {"oauth_token=T&oauth_token_secret=S\n\n", "S"},
        {"oauth_token=T&oauth_token_secret=", ""},
        // The reply is a C text: a NUL ends it, wherever a "&" may follow.
        {"oauth_token=T&oauth_token_secret=S\0tail&more"s, "S"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        EXPECT_EQ(ExtractResponseValue(c.reply, "oauth_token_secret="), c.secret);
        EXPECT_EQ(ExtractResponseValue(c.reply, "oauth_token="), "T");
    }
    EXPECT_EQ(ExtractResponseValue("oauth_token=T\r\n", "oauth_token="), "T");
}

TEST(AuthorisationAddress, CarriesTheRequestTokenAndItsSecretInThatOrder) {
    EXPECT_EQ(
        authorisationAddress("https://api.twitter.com/oauth/authorize", "RT-1_a.b~c", "RS%2F"),
        "https://api.twitter.com/oauth/authorize?oauth_token=RT-1_a.b~c"
        "&oauth_token_secret=RS%2F");
}

TEST(AuthorisationAddress, EscapesBytesThatCouldLeaveTheAddress) {
    // A quote or a space would end the address on the browser's command line.
    EXPECT_EQ(authorisationAddress("https://h/oauth/authorize", "a\" --x", "b\x01\xE3|"),
              "https://h/oauth/authorize?oauth_token=a%22%20--x&oauth_token_secret=b%01%E3%7C");
}

// "投稿を開く" is greyed for a page that gives none.
TEST(OpenablePageAddress, OnlyWebPagesOpenAndTheyAreEscapedAsTheAuthorisationPageIs) {
    EXPECT_EQ(openablePageAddress("HTTPS://h/@a/1\" --x"), "HTTPS://h/@a/1%22%20--x");
    EXPECT_EQ(openablePageAddress("http://h/p?q=1&r=%41"), "http://h/p?q=1&r=%41");
    for (const char* page : {"", "file:///C:/Windows/system32/calc.exe", "C:\\x.exe",
                             "javascript:alert(1)", " https://h/p", "https:"}) {
        EXPECT_FALSE(openablePageAddress(page).has_value()) << page;
    }
}

}  // namespace
