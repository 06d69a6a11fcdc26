#include "oauth/browser_address.h"

#include "settings/text_utilities.h"

namespace {

bool neverRawInAddress(unsigned char byte) {
    return byte <= 0x20 || byte >= 0x7F ||
           std::string_view("\"<>\\^`{|}").find(static_cast<char>(byte)) != std::string_view::npos;
}

}  // namespace

void appendAddressSafe(std::string& address, std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (neverRawInAddress(byte)) {
            address += '%';
            address += kHex[byte >> 4];
            address += kHex[byte & 0xF];
        } else {
            address += c;
        }
    }
}

std::optional<std::string> openablePageAddress(std::string_view page) {
    // The shell opens whatever the scheme names; only a web page goes to the browser.
    if (!startsWithIgnoringCase(page, "https://") && !startsWithIgnoringCase(page, "http://")) {
        return std::nullopt;
    }
    std::string address;
    appendAddressSafe(address, page);
    return address;
}
