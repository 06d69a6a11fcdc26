#include "http/to_utf8.h"

std::string ToUtf8(const std::string& ansi) {
    return ansi.size() <= static_cast<std::size_t>(kMaxUtf8Bytes) ? ansi : std::string();
}
