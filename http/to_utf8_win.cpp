#include <windows.h>

#include <string>
#include <vector>

#include "http/to_utf8.h"

std::string ToUtf8(const std::string& ansi) {
    if (ansi.empty() || ansi.size() > static_cast<std::size_t>(INT_MAX)) {
        return {};
    }
    std::vector<wchar_t> wide(kMaxUtf16Units);
    const int units = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                          wide.data(), kMaxUtf16Units);
    if (units <= 0) {
        return {};
    }
    std::vector<char> utf8(kMaxUtf8Bytes);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, utf8.data(),
                                          kMaxUtf8Bytes, nullptr, nullptr);
    if (bytes <= 0) {
        return {};
    }
    return std::string(utf8.data(), static_cast<std::size_t>(bytes));
}
