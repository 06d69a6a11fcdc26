#include "oauth/parameter_list.h"

#include <algorithm>

#include "oauth/percent_encoding.h"
#include "settings/text_utilities.h"

namespace {

constexpr std::string_view kSignaturePrefix = "oauth_signature=";

int compareBytes(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

// A URL that names a host but no path gets "/" as its path.
void appendRootPathIfMissing(std::string& baseUrl) {
    const std::size_t colon = baseUrl.find(":/");
    if (colon == std::string::npos) {
        return;
    }
    std::size_t rest = colon + 1;
    while (rest < baseUrl.size() && baseUrl[rest] == '/') {
        ++rest;
    }
    if (baseUrl.find('/', rest) == std::string::npos) {
        baseUrl.push_back('/');
    }
}

// Removes the ":80" of the first ":80/" in the base URL, whatever the scheme.
void dropPortEighty(std::string& baseUrl) {
    const std::size_t port = baseUrl.find(":80/");
    if (port != std::string::npos) {
        baseUrl.erase(port, 3);
    }
}

}  // namespace

void SplitUrlParameters(std::string_view url, ParameterList& list, bool plusIsSpace) {
    std::string copy(url);
    if (plusIsSpace) {
        std::replace(copy.begin(), copy.end(), '+', ' ');
    }
    bool baseTaken = false;
    std::size_t tokenStart = 0;
    while (tokenStart <= copy.size()) {
        std::size_t tokenEnd = copy.find_first_of("&?", tokenStart);
        if (tokenEnd == std::string::npos) {
            tokenEnd = copy.size();
        }
        std::string token = copy.substr(tokenStart, tokenEnd - tokenStart);
        tokenStart = tokenEnd + 1;
        if (token.empty() || startsWithIgnoringCase(token, kSignaturePrefix)) {
            continue;
        }
        std::replace(token.begin(), token.end(), '\x01', '&');
        list.push_back(PercentDecode(token));
        if (!baseTaken) {
            baseTaken = true;
            appendRootPathIfMissing(list.back());
            dropPortEighty(list.back());
        }
    }
}

bool HasParameter(const ParameterList& list, std::string_view name) {
    return std::any_of(list.begin(), list.end(), [name](std::string_view entry) {
        return entry.size() > name.size() && entry.starts_with(name) && entry[name.size()] == '=';
    });
}

int CompareParameters(std::string_view a, std::string_view b) {
    const std::size_t equalsA = a.find('=');
    const std::size_t equalsB = b.find('=');
    if (equalsA != std::string_view::npos && equalsB != std::string_view::npos) {
        return compareBytes(a.substr(0, equalsA), b.substr(0, equalsB));
    }
    return compareBytes(PercentEncode(a), PercentEncode(b));
}

bool ParameterLess(std::string_view a, std::string_view b) {
    return CompareParameters(a, b) < 0;
}

void SortParameters(ParameterList& list) {
    if (list.size() < 3) {
        return;
    }
    std::stable_sort(list.begin() + 1, list.end(), [](const std::string& a, const std::string& b) {
        return ParameterLess(a, b);
    });
}

std::string SerializeParameters(const ParameterList& list, std::size_t start) {
    std::string result;
    bool afterUrl = false;
    for (std::size_t i = start; i < list.size(); ++i) {
        const std::string& entry = list[i];
        const bool isBaseUrl = i == start && start == 0 && entry.find(":/") != std::string::npos;
        std::string piece;
        if (isBaseUrl) {
            piece = entry;
        } else if (const std::size_t equals = entry.find('='); equals != std::string::npos) {
            piece = PercentEncode(std::string_view(entry).substr(0, equals)) + "=" +
                    PercentEncode(std::string_view(entry).substr(equals + 1));
        } else {
            piece = entry + "=";
        }
        if (i != start && !afterUrl) {
            result.push_back('&');
        }
        result += piece;
        afterUrl = false;
        if (isBaseUrl) {
            result.push_back('?');
            afterUrl = true;
        }
    }
    return result;
}
