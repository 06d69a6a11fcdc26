#pragma once

#include <optional>
#include <string_view>
#include <vector>

// Fetches url by GET, or by POST of formBody when one is given (even an empty one), over
// TLS for "https" and plain TCP for "http". body is replaced by the reply's body (empty
// when the exchange failed). True only for status 200. Usable from any thread and from a
// plain main(): the socket and TLS libraries start themselves.
bool HttpFetch(std::vector<char>& body, std::string_view url,
               std::optional<std::string_view> formBody = std::nullopt);
