#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "http/byte_stream.h"

// Fetches url by GET, or by POST of formBody when one is given (even an empty one), over
// TLS for "https" and plain TCP for "http". body is replaced by the reply's body (empty
// when the exchange failed). True only for status 200. Usable from any thread and from a
// plain main(): the socket and TLS libraries start themselves.
bool HttpFetch(std::vector<char>& body, std::string_view url,
               std::optional<std::string_view> formBody = std::nullopt);

// What a GET sends beyond the fixed request.
struct FetchOptions {
    std::string userAgent;                       // empty: the generic client's name
    std::vector<std::string> extraHeaderLines;   // complete lines, e.g. "Authorization: ..."
    std::size_t maxReplyBytes = kMaxReplyBytes;  // a longer reply (head and body) fails
    std::optional<std::string> jsonBody;         // sent by POST as application/json
};

// What came back beside the body.
struct FetchReply {
    std::optional<unsigned> status;        // none when no status line could be read
    std::vector<std::string> headerLines;  // the status line first; empty after a failure
};

// A GET (or a POST of the options' JSON body) as above with the options' header lines;
// reply gets the status and the header lines.
bool HttpFetch(std::vector<char>& body, std::string_view url, const FetchOptions& options,
               FetchReply& reply);
