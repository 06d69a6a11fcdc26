#pragma once

#include <optional>
#include <string>
#include <vector>

// One reply split into its header lines (status line first, without line ends) and
// the bytes behind the empty line that ends them.
struct HttpResponse {
    std::vector<std::string> headerLines;
    std::vector<char> body;
};

// Replaces response with the split of [first, last). Line ends are CR, LF or CR LF in
// any mix; when no empty line arrives, the unterminated last line becomes the body.
void ParseResponse(const char* first, const char* last, HttpResponse& response);

// The status code of a first line "HTTP/<major>.<minor> <code>...", if it reads as one.
std::optional<unsigned> ReadStatusCode(const HttpResponse& response);
