#pragma once

#include <optional>
#include <string>
#include <string_view>
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

// The value of the first header line named name (any letter case), without the white space
// around it; the status line is never taken for one. None when no line has that name.
std::optional<std::string> HeaderValue(const std::vector<std::string>& headerLines,
                                       std::string_view name);
