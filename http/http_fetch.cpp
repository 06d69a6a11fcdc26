#include "http/http_fetch.h"

#include "http/web_client.h"

bool HttpFetch(std::vector<char>& body, std::string_view url,
               std::optional<std::string_view> formBody) {
    const Url parsed = ParseUrl(url);
    WebClient client;
    client.Perform(parsed, formBody, client.response);
    body = client.response.body;
    const auto status = ReadStatusCode(client.response);
    return status && *status == 200;
}
