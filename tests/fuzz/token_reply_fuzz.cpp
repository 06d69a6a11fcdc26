// The token reply of the PIN authorisation: any reply yields, for each key, either nothing
// or the bytes after the key up to an "&" or the reply's closing line ends, and the address
// built from such values stays one plain address.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "oauth/pin_authorisation.h"

namespace {

void checkValue(std::string_view reply, std::string_view key, const std::string& value) {
    const std::string_view text = reply.substr(0, reply.find('\0'));
    const std::size_t at = text.find(key);
    if (at == std::string_view::npos) {
        FUZZ_CHECK(value.empty());
        return;
    }
    // The value starts right after the key and ends at an "&", or at line ends that close
    // the reply.
    const std::string_view rest = text.substr(at + key.size());
    FUZZ_CHECK(rest.starts_with(value));
    FUZZ_CHECK(value.find('&') == std::string::npos);
    const std::string_view after = rest.substr(value.size());
    FUZZ_CHECK(after.starts_with('&') || after.find_first_not_of("\r\n") == std::string_view::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string key = input.ConsumeBool() ? "oauth_token=" : "oauth_token_secret=";
    const std::string reply = input.ConsumeRemainingBytesAsString();
    const std::string token = ExtractResponseValue(reply, "oauth_token=");
    const std::string secret = ExtractResponseValue(reply, "oauth_token_secret=");
    checkValue(reply, "oauth_token=", token);
    checkValue(reply, "oauth_token_secret=", secret);
    checkValue(reply, key, ExtractResponseValue(reply, key));

    const std::string address =
        authorisationAddress("https://api.twitter.com/oauth/authorize", token, secret);
    FUZZ_CHECK(address.starts_with("https://api.twitter.com/oauth/authorize?oauth_token="));
    for (const char c : address) {
        const auto byte = static_cast<unsigned char>(c);
        FUZZ_CHECK(byte > 0x20 && byte < 0x7F && c != '"');
    }
    return 0;
}
