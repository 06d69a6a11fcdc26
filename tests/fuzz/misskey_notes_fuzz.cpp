// A Misskey tag search's reply on any bytes, read for previews and for originals: the links
// are usable addresses, their page is a note on the server, the newest id is letters and
// digits, and the choice of size changes neither which notes count nor their marks.

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "link_check.h"
#include "mosaic/search/misskey_notes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const std::string_view server = "https://misskey.example";
    const MisskeyPage previews = readMisskeyPage(body, server, false);
    const MisskeyPage originals = readMisskeyPage(body, server, true);
    checkLinks(previews.links, false);
    checkLinks(originals.links, true);
    FUZZ_CHECK(previews.readable || (previews.links.empty() && previews.newestId.empty()));
    FUZZ_CHECK(previews.newestId == originals.newestId);
    FUZZ_CHECK(std::all_of(previews.newestId.begin(), previews.newestId.end(),
                           [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }));
    FUZZ_CHECK(previews.links.size() == originals.links.size());
    for (std::size_t i = 0; i < previews.links.size(); ++i) {
        const ImageLink& link = previews.links[i];
        FUZZ_CHECK(link.original == originals.links[i].original);
        FUZZ_CHECK(link.sensitive == originals.links[i].sensitive);
        FUZZ_CHECK(link.postPage.empty() ||
                   link.postPage.starts_with("https://misskey.example/notes/"));
    }
    return 0;
}
