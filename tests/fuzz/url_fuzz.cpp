// ParseUrl and the port choice: any text splits into parts that are slices of it, with a
// port in range.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "http/url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Url url = ParseUrl(text);
    FUZZ_CHECK(url.port >= 0 && url.port <= 65535);
    FUZZ_CHECK(url.path.empty() || url.path.front() == '/');
    FUZZ_CHECK(text.ends_with(url.path));
    FUZZ_CHECK(text.starts_with(url.scheme));
    FUZZ_CHECK(url.host.find('/') == std::string::npos);
    FUZZ_CHECK(url.scheme.size() + url.host.size() + url.path.size() <= text.size());
    if (url.path.empty()) {
        FUZZ_CHECK(url.host.empty() && url.port == 0);
    }
    if (url.scheme == "https" || url.scheme == "http") {
        FUZZ_CHECK(url.UsesTls() == (url.scheme == "https"));
    }
    // The service database is consulted only for short schemes, as real URLs have them.
    if (url.scheme.size() <= 16) {
        const int port = ResolvePort(url, url.UsesTls() ? "https" : "http");
        FUZZ_CHECK(port >= 1 && port <= 65535);
        if (url.port != 0) {
            FUZZ_CHECK(port == url.port);
        }
    }
    return 0;
}
