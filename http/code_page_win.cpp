#include <windows.h>

#include <climits>
#include <string>

#include "http/code_page.h"

namespace {

bool fitsInt(std::size_t size) {
    return size <= static_cast<std::size_t>(INT_MAX);
}

std::wstring wideFrom(UINT codePage, DWORD flags, std::string_view bytes) {
    if (bytes.empty() || !fitsInt(bytes.size())) {
        return {};
    }
    const int size = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
    if (units <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(codePage, flags, bytes.data(), size, wide.data(), units);
    return wide;
}

int bytesNeeded(UINT codePage, std::wstring_view wide) {
    if (wide.empty() || !fitsInt(wide.size())) {
        return 0;
    }
    return WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                               nullptr, nullptr);
}

std::string bytesFrom(UINT codePage, std::wstring_view wide) {
    const int size = bytesNeeded(codePage, wide);
    if (size <= 0) {
        return {};
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

}  // namespace

std::wstring ToWide(std::string_view ansi) {
    return wideFrom(CP_ACP, MB_PRECOMPOSED, ansi);
}

std::string ToUtf8(const std::string& ansi) {
    const std::wstring wide = wideFrom(CP_ACP, 0, ansi);
    if (wide.size() > static_cast<std::size_t>(kMaxUtf16Units)) {
        return {};
    }
    std::string utf8 = bytesFrom(CP_UTF8, wide);
    return utf8.size() > static_cast<std::size_t>(kMaxUtf8Bytes) ? std::string() : utf8;
}

std::string ToThreadAnsi(std::wstring_view wide) {
    return bytesFrom(CP_THREAD_ACP, wide);
}

std::size_t ThreadAnsiBytes(std::wstring_view wide) {
    const int size = bytesNeeded(CP_THREAD_ACP, wide);
    return size > 0 ? static_cast<std::size_t>(size) : 0;
}
