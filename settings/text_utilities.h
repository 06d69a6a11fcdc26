#pragma once

// Byte tests, number scans and comparisons over ASCII that do not follow the C library's
// locale: the program switches that to a Japanese one at start-up, and files, headers and
// service replies are read the same under any locale.

#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

// The six white-space bytes of the "C" locale: space, tab, LF, VT, FF and CR.
constexpr bool isAsciiSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// A decimal number the way scanf and strtol begin one: white space, an optional sign, then
// the digits up to the first other byte.
struct LeadingNumber {
    bool negative = false;
    bool hasDigits = false;
    // The digits' value, held at cap when it would pass it, so no run of digits overflows.
    std::uint64_t magnitude = 0;
    // What follows the digits; the whole text when there are none.
    std::string_view rest;
};
LeadingNumber scanLeadingNumber(std::string_view text, std::uint64_t cap);

// ASCII letters compare without their case; every other byte only to itself.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);
bool endsWithIgnoringCase(std::string_view text, std::string_view suffix);
