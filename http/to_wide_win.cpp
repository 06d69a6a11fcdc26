#include <windows.h>

#include <climits>
#include <string>

#include "http/to_wide.h"

std::wstring ToWide(std::string_view ansi) {
    if (ansi.empty() || ansi.size() > static_cast<std::size_t>(INT_MAX)) {
        return {};
    }
    const int size = static_cast<int>(ansi.size());
    const int units = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, ansi.data(), size, nullptr, 0);
    if (units <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, ansi.data(), size, wide.data(), units);
    return wide;
}
