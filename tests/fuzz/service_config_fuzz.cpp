// service.txt: any text yields a configuration whose service address is an https one
// without a trailing slash; the loader refuses oversized files.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "http/service_config.h"
#include "tests/support/temp_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const TempFolder folder;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ServiceConfig config = ParseServiceConfig(text);
    FUZZ_CHECK(config.serviceUrl.starts_with("https://"));
    FUZZ_CHECK(config.serviceUrl.size() > 8 && !config.serviceUrl.ends_with('/'));
    // The address goes into the request line and the Host line as it is.
    for (const char c : config.serviceUrl) {
        FUZZ_CHECK(static_cast<unsigned char>(c) > 0x20 && c != 0x7F);
    }

    const auto path = (folder.path() / "service.txt").string();
    writeBytes(path, std::string(text));
    FUZZ_CHECK(loadServiceConfig(path) == (size <= kMaxServiceConfigBytes));
    const ServiceConfig loaded = serviceConfig();
    FUZZ_CHECK(loaded.serviceUrl == config.serviceUrl || size > kMaxServiceConfigBytes);
    FUZZ_CHECK(serviceUrl("/oauth/authorize") == loaded.serviceUrl + "/oauth/authorize");
    setServiceConfig(ServiceConfig{});
    return 0;
}
