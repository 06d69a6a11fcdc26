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

bool HttpFetch(std::vector<char>& body, std::string_view url, const FetchOptions& options,
               FetchReply& reply) {
    const Url parsed = ParseUrl(url);
    WebClient client;
    if (!options.userAgent.empty()) {
        client.userAgent = options.userAgent;
    }
    client.extraHeaderLines = options.extraHeaderLines;
    client.maxReplyBytes = options.maxReplyBytes;
    std::optional<std::string_view> postBody;
    if (options.jsonBody) {
        client.formContentType = "application/json";
        postBody = *options.jsonBody;
    }
    client.Perform(parsed, postBody, client.response);
    body = client.response.body;
    reply.status = ReadStatusCode(client.response);
    reply.headerLines = client.response.headerLines;
    return reply.status && *reply.status == 200;
}
