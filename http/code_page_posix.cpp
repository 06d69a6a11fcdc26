#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "http/code_page.h"

namespace {

struct Decoded {
    std::uint32_t point;
    std::size_t length;
};

unsigned byteAt(std::string_view text, std::size_t at) {
    return static_cast<unsigned char>(text[at]);
}

// The character of the UTF-8 sequence at `at`; nothing for a malformed, overlong or cut
// sequence, a surrogate or a point past U+10FFFF.
std::optional<Decoded> decodeAt(std::string_view text, std::size_t at) {
    const unsigned lead = byteAt(text, at);
    if (lead < 0x80) {
        return Decoded{lead, 1};
    }
    Decoded decoded{};
    if (lead >= 0xC2 && lead <= 0xDF) {
        decoded = {lead & 0x1Fu, 2};
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        decoded = {lead & 0x0Fu, 3};
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        decoded = {lead & 0x07u, 4};
    } else {
        return std::nullopt;
    }
    if (decoded.length > text.size() - at) {
        return std::nullopt;
    }
    for (std::size_t k = 1; k < decoded.length; ++k) {
        const unsigned next = byteAt(text, at + k);
        if ((next & 0xC0u) != 0x80u) {
            return std::nullopt;
        }
        decoded.point = (decoded.point << 6) | (next & 0x3Fu);
    }
    static constexpr std::array<std::uint32_t, 5> kSmallest{0, 0, 0x80, 0x800, 0x10000};
    if (decoded.point < kSmallest[decoded.length] || decoded.point > 0x10FFFF ||
        (decoded.point >= 0xD800 && decoded.point <= 0xDFFF)) {
        return std::nullopt;
    }
    return decoded;
}

void appendUtf8(std::string& bytes, std::uint32_t point) {
    if (point < 0x80) {
        bytes.push_back(static_cast<char>(point));
        return;
    }
    const std::size_t length = point < 0x800 ? 2 : point < 0x10000 ? 3 : 4;
    static constexpr std::array<unsigned, 5> kLeadMark{0, 0, 0xC0, 0xE0, 0xF0};
    bytes.push_back(static_cast<char>(kLeadMark[length] | (point >> (6 * (length - 1)))));
    for (std::size_t k = length - 1; k > 0; --k) {
        bytes.push_back(static_cast<char>(0x80u | ((point >> (6 * (k - 1))) & 0x3Fu)));
    }
}

}  // namespace

std::string ToUtf8(const std::string& ansi) {
    return ansi.size() <= static_cast<std::size_t>(kMaxUtf8Bytes) ? ansi : std::string();
}

std::string ToThreadAnsi(std::wstring_view wide) {
    std::string bytes;
    bytes.reserve(wide.size());
    for (const wchar_t unit : wide) {
        const auto point = static_cast<std::uint32_t>(unit);
        const bool character = point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
        appendUtf8(bytes, character ? point : std::uint32_t{'?'});
    }
    return bytes;
}

std::size_t ThreadAnsiBytes(std::wstring_view wide) {
    return ToThreadAnsi(wide).size();
}

std::wstring ToWide(std::string_view ansi) {
    std::wstring wide;
    wide.reserve(ansi.size());
    for (std::size_t at = 0; at < ansi.size();) {
        const std::optional<Decoded> decoded = decodeAt(ansi, at);
        wide.push_back(decoded ? static_cast<wchar_t>(decoded->point) : L'\xFFFD');
        at += decoded ? decoded->length : 1;
    }
    return wide;
}
