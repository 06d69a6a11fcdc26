#include "settings/text_utilities.h"

#include <algorithm>

namespace {

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

LeadingNumber scanLeadingNumber(std::string_view text, std::uint64_t cap) {
    LeadingNumber number;
    number.rest = text;
    std::size_t at = 0;
    while (at < text.size() && isAsciiSpace(text[at])) {
        ++at;
    }
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        number.negative = text[at] == '-';
        ++at;
    }
    const std::size_t digitsFrom = at;
    for (; at < text.size() && isAsciiDigit(text[at]); ++at) {
        const auto digit = static_cast<std::uint64_t>(text[at] - '0');
        const bool passesCap = digit > cap || number.magnitude > (cap - digit) / 10;
        number.magnitude = passesCap ? cap : number.magnitude * 10 + digit;
    }
    number.hasDigits = at > digitsFrom;
    if (number.hasDigits) {
        number.rest = text.substr(at);
    }
    return number;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiLower(x) == asciiLower(y);
           });
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           equalsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}
