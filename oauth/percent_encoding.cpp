#include "oauth/percent_encoding.h"

#include <optional>

#include "settings/text_utilities.h"

namespace {

bool isUnreserved(unsigned char byte) {
    return isAsciiDigit(static_cast<char>(byte)) || (byte >= 'a' && byte <= 'z') ||
           (byte >= 'A' && byte <= 'Z') || byte == '_' || byte == '~' || byte == '.' || byte == '-';
}

std::optional<int> hexValue(char digit) {
    if (isAsciiDigit(digit)) {
        return digit - '0';
    }
    if (digit >= 'a' && digit <= 'f') {
        return digit - 'a' + 10;
    }
    if (digit >= 'A' && digit <= 'F') {
        return digit - 'A' + 10;
    }
    return std::nullopt;
}

}  // namespace

std::string PercentEncode(std::string_view text) {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size() * 3);
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0) {
            break;
        }
        if (isUnreserved(byte)) {
            encoded.push_back(c);
        } else {
            encoded.push_back('%');
            encoded.push_back(kHexDigits[byte >> 4]);
            encoded.push_back(kHexDigits[byte & 0x0F]);
        }
    }
    return encoded;
}

std::string PercentDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%' && i + 2 < text.size()) {
            const auto high = hexValue(text[i + 1]);
            const auto low = hexValue(text[i + 2]);
            if (high && low) {
                c = static_cast<char>(*high * 16 + *low);
                i += 2;
            }
        }
        if (c == '\0') {
            break;
        }
        decoded.push_back(c);
    }
    return decoded;
}

std::string JoinEncoded(std::initializer_list<std::string_view> texts) {
    std::string joined;
    bool first = true;
    for (std::string_view text : texts) {
        if (!first) {
            joined.push_back('&');
        }
        first = false;
        joined += PercentEncode(text);
    }
    return joined;
}
