#include "mosaic/link_source.h"

#include <string_view>
#include <utility>

#include "mosaic/image_download.h"
#include "mosaic/search_cycle.h"
#include "settings/option_store.h"

LinkSource designedLinkSource(DesignedSearch search) {
    return [search = std::move(search)](const std::string& keyword, std::int32_t postCount) {
        std::vector<char> body;
        search(body, keyword, std::to_string(postCount));
        const bool original = optionOr("original", 0) == 1;
        std::vector<ImageLink> links;
        for (std::string& url : extractImageLinks(std::string_view(body.data(), body.size()))) {
            std::string fetchUrl = imageRequestUrl(url, original);
            links.push_back(ImageLink{std::move(url), std::move(fetchUrl), {}});
        }
        return links;
    };
}

std::string originalAddressOf(const Tile& tile) {
    return tile.originalUrl.empty() ? tile.name + ":orig" : tile.originalUrl;
}
