#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "mosaic/search/designed_search.h"
#include "mosaic/search/image_download.h"
#include "mosaic/search/image_source.h"

// The number of posts a search asks for: never more than the cells that a new image may take.
std::int32_t searchPostCount(std::int32_t replaceableCount, std::int32_t postsPerSearch);

// What a cycle talks to; tests put their own in place of the real service and download.
struct SearchCycleServices {
    // The built-in service's search, used when links is empty.
    DesignedSearch search;
    // Downloads and decodes exactly the address given (a link's fetchUrl).
    std::function<DownloadResult(const std::string& address)> download;
    // The source of a search's links; empty: the built-in service through search.
    LinkSource links = {};
};

// One search: asks the service, downloads each new image link (a sensitive one only when the
// configuration shows them) and queues the pictures that are not on the wall yet. Returns 1 when at
// least one image was queued, else 0. The caller holds the application mutex.
int runSearchCycle(const SearchCycleServices& services);
