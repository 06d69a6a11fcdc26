#include "mosaic/search_cycle.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>

#include "http/service_config.h"
#include "http/service_operations.h"
#include "mosaic/app_state.h"
#include "mosaic/hashtag_timeline.h"
#include "mosaic/image_limits.h"
#include "mosaic/tile_grid.h"
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

// Downloads one link and queues it when it is a new picture; returns whether it was queued.
bool queueNewImage(const ImageLink& link, const SearchCycleServices& services) {
    const std::string& url = link.name;
    DownloadResult download = services.download(link.fetchUrl);
    if (!download.ok || !download.picture || download.bytes.empty()) {
        return false;
    }
    const auto byteCount = static_cast<std::int32_t>(download.bytes.size());
    const std::int32_t width = download.picture->width;
    const std::int32_t height = download.picture->height;
    if (isDuplicateImage(byteCount, width, height) || exitWasRequested()) {
        return false;
    }
    return enqueueTile(url, byteCount, std::move(*download.picture), std::move(download.bytes),
                       link.original);
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

std::int32_t searchPostCount(std::int32_t replaceableCount, std::int32_t postsPerSearch) {
    return std::min(replaceableCount, postsPerSearch);
}

std::string searchCountText(std::int32_t replaceableCount, std::int32_t postsPerSearch) {
    return std::to_string(searchPostCount(replaceableCount, postsPerSearch));
}

SearchCycleServices defaultSearchCycleServices() {
    SearchCycleServices services{
        [](std::vector<char>& body, std::string keyword, std::string count) {
            return SearchTweets(body, std::move(keyword), std::move(count));
        },
        [](const std::string& address) { return downloadImageFrom(address); },
        {},
    };
    if (serviceConfig().source == SearchSource::HashtagTimeline) {
        services.links = [](const std::string& keyword, std::int32_t postCount) {
            return hashtagTimelineLinks(keyword, postCount);
        };
    }
    return services;
}

int runSearchCycle(const SearchCycleServices& services) {
    std::int32_t unusedInt = 0;
    std::string keyword;
    getOption("kensaku_word", &unusedInt, &keyword);
    const std::int32_t replaceableCells = appState().replaceableCount.load();
    const std::int32_t postCount = searchPostCount(replaceableCells, optionOr("serch_ken", 0));
    const LinkSource& source =
        services.links ? services.links : designedLinkSource(services.search);

    int result = 0;
    // The service lists every photo more than once per post; a link refused once (failed,
    // undecodable, a duplicate) is not fetched again in the same cycle, so a broken or
    // stalling image host costs one download, not one per mention.
    std::set<std::string> refused;
    for (const ImageLink& link : source(keyword, postCount)) {
        if (exitWasRequested()) {
            break;
        }
        const std::string& url = link.name;
        // A name that cannot hold the whole address is never fetched: cutting it would name a
        // different image.
        if (url.size() > kMaxTileNameLength || refused.contains(url) || isKnownUrl(url)) {
            continue;
        }
        if (queueNewImage(link, services)) {
            result = 1;
        } else {
            refused.insert(url);
        }
        // One placement pass fills at most this many cells; an image queued past them would
        // only take a cell that another image of the same pass has just taken.
        const CanvasList* queue = queuedTiles();
        if (queue != nullptr && queue->size() >= static_cast<std::size_t>(replaceableCells)) {
            break;
        }
    }
    return result;
}
