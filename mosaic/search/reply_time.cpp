#include "mosaic/search/reply_time.h"

#include <array>
#include <cstdint>

#include "settings/text_utilities.h"

namespace {

constexpr int kFirstYear = 1900;
constexpr int kLastYear = 2200;
// Seconds since 1970 from which a bare number is taken for a moment rather than a delay.
constexpr std::int64_t kFirstEpochSeconds = 1000000000;

std::optional<int> digitsAt(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (!isAsciiDigit(text[i])) {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t daysFromCivil(int year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

struct CivilTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Seconds from 1970 to a valid UTC date and time; none when it is not one.
std::optional<std::int64_t> civilSeconds(const CivilTime& time) {
    // The clock counts nanoseconds on some platforms: a time centuries away would overflow it.
    if (time.year < kFirstYear || time.year > kLastYear || time.month < 1 || time.month > 12 ||
        time.day < 1 || time.day > daysInMonth(time.year, time.month) || time.hour > 23 ||
        time.minute > 59 || time.second > 60) {
        return std::nullopt;
    }
    return daysFromCivil(time.year, static_cast<unsigned>(time.month),
                         static_cast<unsigned>(time.day)) *
               86400 +
           time.hour * 3600 + time.minute * 60 + time.second;
}

std::optional<int> monthNumber(std::string_view name) {
    constexpr std::array<std::string_view, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (std::size_t i = 0; i < kMonths.size(); ++i) {
        if (name == kMonths[i]) {
            return static_cast<int>(i) + 1;
        }
    }
    return std::nullopt;
}

std::optional<std::int64_t> wholeSeconds(std::string_view text) {
    constexpr std::size_t kMaxDigits = 12;
    if (text.empty() || text.size() > kMaxDigits) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (const char c : text) {
        if (!isAsciiDigit(c)) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

std::optional<SourceClock::time_point> parseIsoTime(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS
    const auto year = digitsAt(text, 0, 4);
    const auto month = digitsAt(text, 5, 2);
    const auto day = digitsAt(text, 8, 2);
    const auto hour = digitsAt(text, 11, 2);
    const auto minute = digitsAt(text, 14, 2);
    const auto second = digitsAt(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second || text[4] != '-' ||
        text[7] != '-' || (text[10] != 'T' && text[10] != 't' && text[10] != ' ') ||
        text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    const auto civil = civilSeconds(CivilTime{*year, *month, *day, *hour, *minute, *second});
    if (!civil) {
        return std::nullopt;
    }
    std::size_t at = 19;
    std::int64_t microseconds = 0;
    if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
        ++at;
        const std::size_t digitsFrom = at;
        std::int64_t scale = 100000;
        while (at < text.size() && isAsciiDigit(text[at])) {
            microseconds += (text[at] - '0') * scale;
            scale /= 10;
            ++at;
        }
        if (at == digitsFrom) {
            return std::nullopt;
        }
    }
    std::int64_t offsetSeconds = 0;
    const std::string_view zone = text.substr(at);
    if (zone == "Z" || zone == "z" || zone.empty()) {
        offsetSeconds = 0;
    } else if ((zone[0] == '+' || zone[0] == '-') && (zone.size() == 6 || zone.size() == 5)) {
        const auto offsetHours = digitsAt(zone, 1, 2);
        const bool withColon = zone.size() == 6;
        if (withColon && zone[3] != ':') {
            return std::nullopt;
        }
        const auto offsetMinutes = digitsAt(zone, withColon ? 4 : 3, 2);
        if (!offsetHours || !offsetMinutes || *offsetHours > 23 || *offsetMinutes > 59) {
            return std::nullopt;
        }
        offsetSeconds = (*offsetHours * 3600 + *offsetMinutes * 60) * (zone[0] == '-' ? -1 : 1);
    } else {
        return std::nullopt;
    }
    return SourceClock::time_point(std::chrono::duration_cast<SourceClock::duration>(
        std::chrono::seconds(*civil - offsetSeconds) + std::chrono::microseconds(microseconds)));
}

std::optional<SourceClock::time_point> parseHttpDate(std::string_view text) {
    // "Tue, 08 Dec 2026 10:15:00 GMT"
    constexpr std::size_t kLength = 29;
    if (text.size() != kLength || text.substr(3, 2) != ", " || text[7] != ' ' || text[11] != ' ' ||
        text[16] != ' ' || text[19] != ':' || text[22] != ':' || text.substr(25) != " GMT") {
        return std::nullopt;
    }
    const auto day = digitsAt(text, 5, 2);
    const auto month = monthNumber(text.substr(8, 3));
    const auto year = digitsAt(text, 12, 4);
    const auto hour = digitsAt(text, 17, 2);
    const auto minute = digitsAt(text, 20, 2);
    const auto second = digitsAt(text, 23, 2);
    if (!day || !month || !year || !hour || !minute || !second) {
        return std::nullopt;
    }
    const auto civil = civilSeconds(CivilTime{*year, *month, *day, *hour, *minute, *second});
    if (!civil) {
        return std::nullopt;
    }
    return SourceClock::time_point(
        std::chrono::duration_cast<SourceClock::duration>(std::chrono::seconds(*civil)));
}

std::optional<SourceClock::time_point> parseResetTime(std::string_view text,
                                                      SourceClock::time_point now) {
    if (const auto seconds = wholeSeconds(text)) {
        if (*seconds < kFirstEpochSeconds) {
            return now + std::chrono::seconds(*seconds);
        }
        const auto civil = civilSeconds(CivilTime{kLastYear, 12, 31, 23, 59, 59});
        if (*seconds > *civil) {
            return std::nullopt;
        }
        return SourceClock::time_point(
            std::chrono::duration_cast<SourceClock::duration>(std::chrono::seconds(*seconds)));
    }
    if (const auto date = parseHttpDate(text)) {
        return date;
    }
    return parseIsoTime(text);
}
