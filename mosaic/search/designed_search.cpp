#include "mosaic/search/designed_search.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <utility>

#include "settings/option_store.h"

namespace {

constexpr std::string_view kMediaMarker = R"("media_url":")";
constexpr std::string_view kSecureMediaMarker = R"("media_url_https":")";
constexpr std::string_view kJpegExtension = ".jpg";

using Searcher = std::boyer_moore_horspool_searcher<std::string_view::const_iterator>;

// Skips ahead by the pattern's length where a byte-by-byte search would stop at every quote
// of the JSON text.
std::size_t findIn(std::string_view body, const Searcher& searcher, std::size_t from) {
    if (from > body.size()) {
        return std::string_view::npos;
    }
    const auto hit =
        std::search(body.begin() + static_cast<std::ptrdiff_t>(from), body.end(), searcher);
    return hit == body.end() ? std::string_view::npos
                             : static_cast<std::size_t>(hit - body.begin());
}

const Searcher& searcherFor(std::string_view pattern) {
    static const Searcher media(kMediaMarker.begin(), kMediaMarker.end());
    static const Searcher secure(kSecureMediaMarker.begin(), kSecureMediaMarker.end());
    static const Searcher jpeg(kJpegExtension.begin(), kJpegExtension.end());
    return pattern == kMediaMarker ? media : pattern == kSecureMediaMarker ? secure : jpeg;
}

std::string withoutBackslashes(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (const char c : text) {
        if (c != '\\') {
            plain.push_back(c);
        }
    }
    return plain;
}

// The first occurrence of pattern at or after from, where from only grows between calls and
// found keeps the last answer (start it at 0): an occurrence still ahead is reused, and none
// found once means none at any later position either.
std::size_t nextOccurrence(std::string_view body, std::string_view pattern, std::size_t from,
                           std::size_t& found) {
    if (found != std::string_view::npos && found < from) {
        found = findIn(body, searcherFor(pattern), from);
    }
    return found;
}

}  // namespace

std::vector<std::string> extractImageLinks(std::string_view body) {
    body = body.substr(0, std::min(body.size(), body.find('\0')));
    std::vector<std::string> links;
    // The next ".jpg" and the next secure marker at or after the current start are found
    // once and reused for every media marker before them, so the scan stays one pass over
    // the body however many markers it holds.
    std::size_t nextJpg = 0;
    std::size_t nextSecure = 0;
    const Searcher& media = searcherFor(kMediaMarker);
    for (std::size_t marker = findIn(body, media, 0); marker != std::string_view::npos;) {
        const std::size_t start = marker + kMediaMarker.size();
        const std::size_t jpg = nextOccurrence(body, kJpegExtension, start, nextJpg);
        // Without a ".jpg" ahead no candidate is taken, so the secure marker is not needed.
        if (jpg != std::string_view::npos) {
            const std::size_t https = nextOccurrence(body, kSecureMediaMarker, start, nextSecure);
            if (https != std::string_view::npos && https > jpg) {
                links.push_back(
                    withoutBackslashes(body.substr(start, jpg + kJpegExtension.size() - start)));
            }
        }
        marker = findIn(body, media, start);
    }
    return links;
}

std::string imageRequestUrl(const std::string& url, bool original) {
    return original ? url + ":orig" : url;
}

LinkSource designedLinkSource(DesignedSearch search) {
    return [search = std::move(search)](const std::string& keyword, std::int32_t postCount) {
        std::vector<char> body;
        search(body, keyword, std::to_string(postCount));
        const bool original = optionIsOn(OptionKey::OriginalImages);
        std::vector<ImageLink> links;
        for (std::string& url : extractImageLinks(std::string_view(body.data(), body.size()))) {
            std::string fetchUrl = imageRequestUrl(url, original);
            links.push_back(ImageLink{std::move(url), std::move(fetchUrl), {}});
        }
        return links;
    };
}
