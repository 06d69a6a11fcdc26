#include "mosaic/search/post_id.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr std::size_t kMaxPostIdChars = 30;

std::string_view withoutLeadingZeros(std::string_view id) {
    const auto first = id.find_first_not_of('0');
    return first == std::string_view::npos ? std::string_view() : id.substr(first);
}

}  // namespace

bool isPostId(std::string_view id) {
    return !id.empty() && id.size() <= kMaxPostIdChars &&
           std::all_of(id.begin(), id.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

bool isDecimalPostId(std::string_view id) {
    return isPostId(id) && std::all_of(id.begin(), id.end(), [](char c) { return c <= '9'; });
}

bool isNewerPostId(std::string_view id, std::string_view than) {
    if (than.empty()) {
        return !id.empty();
    }
    const std::string_view number = withoutLeadingZeros(id);
    const std::string_view other = withoutLeadingZeros(than);
    // Digits sort before letters in ASCII, as they do in base 36.
    return number.size() != other.size() ? number.size() > other.size() : number > other;
}
