// Percent-encoding and the split, sort and serialisation of a URL's parameters: decoding
// undoes encoding, ordering is consistent, and a serialised list splits back to itself.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "oauth/parameter_list.h"
#include "oauth/percent_encoding.h"

namespace {

int sign(int value) {
    return (value > 0) - (value < 0);
}

bool isEncodedText(std::string_view text) {
    constexpr std::string_view kKept =
        "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_~.-%"
        "ABCDEF";
    return text.find_first_not_of(kKept) == std::string_view::npos;
}

// Entries that come back from a split as they are: pairs without NUL (a decoded NUL ends
// the text) whose decoded name is not the signature's, which a split always drops.
bool splitsBackUnchanged(const ParameterList& list) {
    for (std::size_t i = 1; i < list.size(); ++i) {
        const std::string& entry = list[i];
        std::string head = entry.substr(0, 16);
        for (char& c : head) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (entry.find('=') == std::string::npos || entry.find('\0') != std::string::npos ||
            head == "oauth_signature=") {
            return false;
        }
    }
    return !list.empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const bool plusIsSpace = input.ConsumeBool();
    const std::string other = input.ConsumeRandomLengthString(64);
    const std::string text = input.ConsumeRemainingBytesAsString();

    const std::string encoded = PercentEncode(text);
    FUZZ_CHECK(isEncodedText(encoded));
    const std::string decoded = PercentDecode(encoded);
    FUZZ_CHECK(decoded == text.substr(0, text.find('\0')));
    FUZZ_CHECK(PercentDecode(text).size() <= text.size());

    FUZZ_CHECK(sign(CompareParameters(text, other)) == -sign(CompareParameters(other, text)));
    FUZZ_CHECK(CompareParameters(text, text) == 0);

    ParameterList list;
    SplitUrlParameters(text, list, plusIsSpace);
    for (std::size_t i = 1; i < list.size(); ++i) {
        FUZZ_CHECK(!list[i].starts_with("oauth_signature="));
    }
    SortParameters(list);
    for (std::size_t i = 2; i < list.size(); ++i) {
        FUZZ_CHECK(!ParameterLess(list[i], list[i - 1]));
    }
    const std::string pairs = SerializeParameters(list, 1);
    const std::string whole = SerializeParameters(list, 0);
    FUZZ_CHECK(whole.size() >= pairs.size());
    for (const std::string& entry : list) {
        const auto equals = entry.find('=');
        if (equals != std::string::npos) {
            FUZZ_CHECK(HasParameter(list, entry.substr(0, equals)));
        }
    }
    if (splitsBackUnchanged(list)) {
        ParameterList again;
        SplitUrlParameters("base?" + pairs, again, false);
        FUZZ_CHECK(again.size() == list.size());
        FUZZ_CHECK(std::equal(list.begin() + 1, list.end(), again.begin() + 1));
    }
    return 0;
}
