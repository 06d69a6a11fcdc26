#include "http/url.h"

#include <string_view>

#include "http/socket.h"

namespace {

constexpr int kMaxPort = 65535;

bool IsValidPort(long port) {
    return port >= 1 && port <= kMaxPort;
}

// The decimal value of digits, or -1 when a character is not a digit or the value
// exceeds the port range (longer texts cannot overflow: parsing stops past it).
long ParsePortDigits(std::string_view digits) {
    long value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
        if (value > kMaxPort) {
            return -1;
        }
    }
    return value;
}

}  // namespace

bool Url::UsesTls() const {
    if (scheme == "https") {
        return true;
    }
    if (scheme == "http") {
        return false;
    }
    return port == 443;
}

Url ParseUrl(std::string_view text) {
    Url url;
    std::string_view rest = text;
    if (const auto marker = text.find("://"); marker != std::string_view::npos) {
        url.scheme = std::string(text.substr(0, marker));
        rest = text.substr(marker + 3);
    }
    const auto slash = rest.find('/');
    if (slash == std::string_view::npos) {
        return url;
    }
    const auto colon = rest.find(':');
    if (colon != std::string_view::npos && colon != 0 && colon < slash) {
        url.host = std::string(rest.substr(0, colon));
        const long port = ParsePortDigits(rest.substr(colon + 1, slash - colon - 1));
        if (IsValidPort(port)) {
            url.port = static_cast<int>(port);
        }
    } else {
        url.host = std::string(rest.substr(0, slash));
    }
    url.path = std::string(rest.substr(slash));
    return url;
}

int ResolvePort(const Url& url, const char* defaultService) {
    if (IsValidPort(url.port)) {
        return url.port;
    }
    int port = url.scheme.empty() ? 0 : LookupServicePort(url.scheme.c_str());
    if (!IsValidPort(port)) {
        port = LookupServicePort(defaultService);
    }
    if (IsValidPort(port)) {
        return port;
    }
    // Without a service database a TLS exchange must still reach the TLS port.
    return std::string_view(defaultService) == "https" ? 443 : 80;
}
