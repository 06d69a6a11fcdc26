#include "http/http_response.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string_view>

#include "settings/text_utilities.h"

namespace {

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Steps over the terminator at position, counting CR LF as one.
const char* SkipLineEnd(const char* position, const char* last) {
    if (*position == '\r' && position + 1 != last && position[1] == '\n') {
        return position + 2;
    }
    return position + 1;
}

// Reads an unsigned decimal the way scanf's %u does (leading white space, an optional
// sign, at least one digit), but refuses a value too large for 32 bits instead of
// leaving it undefined.
std::optional<unsigned> ScanUnsigned(std::string_view& text) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    const LeadingNumber number = scanLeadingNumber(text, kMax + 1);
    if (!number.hasDigits || number.magnitude > kMax) {
        return std::nullopt;
    }
    text = number.rest;
    const auto magnitude = static_cast<std::uint32_t>(number.magnitude);
    return number.negative ? static_cast<std::uint32_t>(0u - magnitude) : magnitude;
}

}  // namespace

void ParseResponse(const char* first, const char* last, HttpResponse& response) {
    response.headerLines.clear();
    response.body.clear();
    const char* lineStart = first;
    const char* position = first;
    while (position != last) {
        if (!IsLineEnd(*position)) {
            ++position;
            continue;
        }
        if (position != lineStart) {
            response.headerLines.emplace_back(lineStart, position);
        }
        position = SkipLineEnd(position, last);
        if (position == last) {
            return;
        }
        if (IsLineEnd(*position)) {
            position = SkipLineEnd(position, last);
            response.body.assign(position, last);
            return;
        }
        lineStart = position;
    }
    response.body.assign(lineStart, last);
}

std::optional<unsigned> ReadStatusCode(const HttpResponse& response) {
    if (response.headerLines.empty()) {
        return std::nullopt;
    }
    std::string_view line = response.headerLines.front();
    // The line is read as a C text, up to a NUL byte.
    line = line.substr(0, line.find('\0'));
    constexpr std::string_view kProtocol = "HTTP/";
    if (!line.starts_with(kProtocol)) {
        return std::nullopt;
    }
    line.remove_prefix(kProtocol.size());
    if (!ScanUnsigned(line) || !line.starts_with('.')) {
        return std::nullopt;
    }
    line.remove_prefix(1);
    if (!ScanUnsigned(line)) {
        return std::nullopt;
    }
    return ScanUnsigned(line);
}

std::optional<std::string> HeaderValue(const std::vector<std::string>& headerLines,
                                       std::string_view name) {
    constexpr std::string_view kBlank = " \t";
    for (std::size_t i = 1; i < headerLines.size(); ++i) {
        const std::string_view line = headerLines[i];
        const auto colon = line.find(':');
        if (colon == std::string_view::npos || !equalsIgnoringCase(line.substr(0, colon), name)) {
            continue;
        }
        std::string_view value = line.substr(colon + 1);
        const auto first = value.find_first_not_of(kBlank);
        if (first == std::string_view::npos) {
            return std::string();
        }
        value = value.substr(first, value.find_last_not_of(kBlank) - first + 1);
        return std::string(value);
    }
    return std::nullopt;
}
