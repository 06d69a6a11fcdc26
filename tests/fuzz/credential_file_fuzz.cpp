// The credential file: any bytes either load two values without their line ends, within
// the line limit, or are refused.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "oauth/credential_file.h"
#include "tests/support/temp_folder.h"

namespace {

bool isPlainLine(const std::string& value) {
    return value.size() <= kCredentialLineLimit && value.find('\n') == std::string::npos &&
           !value.ends_with('\r');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const TempFolder folder;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const auto path = (folder.path() / "key.txt").string();
    writeBytes(path, bytes);
    loadedToken.clear();
    loadedTokenSecret.clear();
    if (LoadCredentialFile(path)) {
        FUZZ_CHECK(isPlainLine(loadedToken));
        FUZZ_CHECK(isPlainLine(loadedTokenSecret));
        // Both values stand at the start of the file, one line after the other.
        FUZZ_CHECK(bytes.starts_with(loadedToken));
        FUZZ_CHECK(bytes.find(loadedTokenSecret, loadedToken.size()) != std::string::npos);
    }
    return 0;
}
