#include "mosaic/search_cycle.h"

#include <algorithm>
#include <cstring>
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
    if (isDuplicateImage(byteCount, width, height)) {
        return false;
    }
    return enqueueTile(url, byteCount, std::move(*download.picture), std::move(download.bytes),
                       link.original);
}

}  // namespace

std::vector<std::string> extractImageLinks(std::string_view body) {
    body = body.substr(0, std::min(body.size(), body.find('\0')));
    std::vector<std::string> links;
    for (std::size_t marker = body.find(kMediaMarker); marker != std::string_view::npos;) {
        const std::size_t start = marker + kMediaMarker.size();
        const std::size_t extension = body.find(kJpegExtension, start);
        const std::size_t secure = body.find(kSecureMediaMarker, start);
        if (extension != std::string_view::npos && secure != std::string_view::npos &&
            secure > extension) {
            links.push_back(
                withoutBackslashes(body.substr(start, extension + kJpegExtension.size() - start)));
        }
        marker = body.find(kMediaMarker, start);
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
    const std::int32_t postCount =
        searchPostCount(appState().replaceableCount, optionOr("serch_ken", 0));
    const LinkSource& source =
        services.links ? services.links : designedLinkSource(services.search);

    int result = 0;
    // The service lists every photo more than once per post; a link refused once (failed,
    // undecodable, a duplicate) is not fetched again in the same cycle, so a broken or
    // stalling image host costs one download, not one per mention.
    std::set<std::string> refused;
    for (const ImageLink& link : source(keyword, postCount)) {
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
    }
    return result;
}
