#include "mosaic/search/search_cycle.h"

#include <algorithm>
#include <set>

#include "mosaic/raster/image_limits.h"
#include "mosaic/search/search_state.h"
#include "mosaic/search/wall_visibility.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/tile_grid.h"
#include "settings/option_store.h"

namespace {

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
                       link.original, TileOrigin{link.author, link.postPage, link.focus});
}

}  // namespace

std::int32_t searchPostCount(std::int32_t replaceableCount, std::int32_t postsPerSearch) {
    return std::min(replaceableCount, postsPerSearch);
}

int runSearchCycle(const SearchCycleServices& services) {
    const std::string keyword = optionText(OptionKey::Keyword);
    const std::int32_t replaceableCells = appState().replaceableCount.load();
    const std::int32_t postCount =
        searchPostCount(replaceableCells, optionValue(OptionKey::ResultCount));
    const LinkSource& source =
        services.links ? services.links : designedLinkSource(services.search);

    int result = 0;
    // The service lists every photo more than once per post; a link refused once (failed,
    // undecodable, a duplicate) is not fetched again in the same cycle, so a broken or
    // stalling image host costs one download, not one per mention.
    std::set<std::string> refused;
    for (const ImageLink& link : source(keyword, postCount)) {
        // Nobody sees the pictures of a wall resting unseen: no download starts.
        if (exitWasRequested() || searchRestsUnseen()) {
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
