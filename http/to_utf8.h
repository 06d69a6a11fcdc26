#pragma once

#include <string>

// A text in the system's ANSI code page as UTF-8. Texts past the conversion's bounds
// (1000 UTF-16 units, 1000 UTF-8 bytes) and texts that do not convert give "".
// On Windows the code page is the system's; elsewhere texts already are UTF-8.
std::string ToUtf8(const std::string& ansi);

inline constexpr int kMaxUtf16Units = 1000;
inline constexpr int kMaxUtf8Bytes = 1000;
