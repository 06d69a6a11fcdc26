#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "mosaic/image_download.h"
#include "mosaic/link_source.h"

// The image links of a search reply, in the order they appear: for every "media_url" value,
// the bytes up to and including the first ".jpg", taken only when that ".jpg" comes before
// the next "media_url_https" marker; backslashes are removed. The body is read up to its
// first NUL byte.
std::vector<std::string> extractImageLinks(std::string_view body);

// The number of posts a search asks for: never more than the cells that a new image may take.
std::int32_t searchPostCount(std::int32_t replaceableCount, std::int32_t postsPerSearch);
// The same as decimal text.
std::string searchCountText(std::int32_t replaceableCount, std::int32_t postsPerSearch);

// What a cycle talks to; tests put their own in place of the real service and download.
struct SearchCycleServices {
    // The built-in service's search, used when links is empty.
    DesignedSearch search;
    // Downloads and decodes exactly the address given (a link's fetchUrl).
    std::function<DownloadResult(const std::string& address)> download;
    // The source of a search's links; empty: the built-in service through search.
    LinkSource links = {};
};

// The real services: the source that ./txts/service.txt chose, and the image download.
SearchCycleServices defaultSearchCycleServices();

// One search: asks the service, downloads each new image link and queues the pictures that
// are not on the wall yet. Returns 1 when at least one image was queued, else 0. The caller
// holds the application mutex.
int runSearchCycle(const SearchCycleServices& services = defaultSearchCycleServices());
