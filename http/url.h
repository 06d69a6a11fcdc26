#pragma once

#include <string>
#include <string_view>

// The parts of one URL text, split without decoding anything.
struct Url {
    std::string scheme;  // text before the first "://"; empty when there is none
    std::string host;    // without the port
    int port = 0;        // the explicit port when it lies in 1..65535, else 0
    std::string path;    // from the first '/' after the host to the end, query included

    // "https" is TLS, "http" is plain; any other scheme is TLS only on port 443.
    bool UsesTls() const;
};

Url ParseUrl(std::string_view text);

// The port to connect to, always in 1..65535: the explicit port, else the scheme's
// service port, else the default service's, else the well-known port of the default
// service ("https" 443, anything else 80).
int ResolvePort(const Url& url, const char* defaultService);
