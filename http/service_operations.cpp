#include "http/service_operations.h"

#include <optional>
#include <string_view>

#include "http/code_page.h"
#include "http/http_fetch.h"
#include "http/pin_text.h"
#include "http/service_config.h"
#include "oauth/consumer_registration.h"
#include "oauth/oauth_credentials.h"
#include "oauth/percent_encoding.h"
#include "oauth/request_signing.h"

namespace {

// A C text ends at its first NUL.
std::string_view UpToNul(const std::string& text) {
    return std::string_view(text).substr(0, text.find('\0'));
}

// Signs url for POST with the consumer registration alone and fetches it.
void PostWithConsumerRegistration(std::vector<char>& body, const std::string& url) {
    std::string formBody;
    const std::string target =
        SignRequest(url, &formBody, consumerKey(), consumerSecret(), std::nullopt, std::nullopt);
    HttpFetch(body, target, formBody);
}

}  // namespace

bool SearchTweets(std::vector<char>& body, std::string keyword, std::string count) {
    const std::string url = serviceUrl("/1.1/search/tweets.json") +
                            "?q=" + PercentEncode(ToUtf8(keyword)) + "&count=" + count;
    const OAuthCredentials& credentials = processCredentials();
    const std::string target =
        SignRequest(url, nullptr, credentials.consumerKey, credentials.consumerSecret,
                    credentials.token, credentials.tokenSecret);
    const bool found = HttpFetch(body, target);
    body.push_back('\0');
    return found;
}

void FetchRequestToken(std::vector<char>& body) {
    PostWithConsumerRegistration(body, serviceUrl("/oauth/request_token"));
}

void FetchAccessToken(std::vector<char>& body, const std::string& requestToken) {
    std::string url = serviceUrl("/oauth/access_token");
    url += "?oauth_token=";
    url += UpToNul(requestToken);
    url += "&oauth_verifier=";
    url += UpToNul(pinText);
    PostWithConsumerRegistration(body, url);
}
