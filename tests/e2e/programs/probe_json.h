// JSON text for the one-line reports the test programs print.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#endif

namespace probe_json {

// Quotes text for JSON. Control bytes are always escaped; bytes from 0x7F up are escaped
// one by one when keepUtf8 is false (a reply need not be valid UTF-8), else copied.
inline std::string quoted(std::string_view text, bool keepUtf8) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || (!keepUtf8 && byte >= 0x7F)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace probe_json

inline std::string jsonBytes(std::string_view text) {
    return probe_json::quoted(text, false);
}
inline std::string jsonUtf8(std::string_view utf8) {
    return probe_json::quoted(utf8, true);
}

#ifdef _WIN32
inline std::string toUtf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

inline std::string jsonUtf8(const std::wstring& text) {
    return jsonUtf8(toUtf8(text));
}
inline std::string jsonUtf8(const wchar_t* text) {
    return jsonUtf8(std::wstring(text));
}
#endif
