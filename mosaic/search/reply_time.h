#pragma once

// The dates and times that replies name: reset times and the moments to ask again.

#include <chrono>
#include <optional>
#include <string_view>

using SourceClock = std::chrono::system_clock;

// An ISO 8601 date and time ("2026-12-08T10:15:00.000Z", with an offset, or without one
// for UTC) in the years 1900 to 2200, or none when the text is not one.
std::optional<SourceClock::time_point> parseIsoTime(std::string_view text);

// An HTTP date in its preferred form ("Tue, 08 Dec 2026 10:15:00 GMT") in the years 1900 to
// 2200, or none when the text is not one.
std::optional<SourceClock::time_point> parseHttpDate(std::string_view text);

// A moment as a reset header names it: an ISO 8601 time, an HTTP date, or a whole number of
// seconds, read as seconds since 1970 when it is at least 1000000000 and else as seconds from
// now. None when the text is none of these.
std::optional<SourceClock::time_point> parseResetTime(std::string_view text,
                                                      SourceClock::time_point now);
