#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "mosaic/canvas.h"

// One image that a search found.
struct ImageLink {
    // The tile's name: the address as the search gave it.
    std::string name;
    // The address downloaded for it.
    std::string fetchUrl;
    // The full-size picture's address when the source names one; empty: name + ":orig".
    std::string original;
};

// Where a search cycle gets its links: the image links of one search for keyword (ANSI code
// page), asking for at most postCount posts, in the order the reply lists them.
using LinkSource =
    std::function<std::vector<ImageLink>(const std::string& keyword, std::int32_t postCount)>;

// The built-in service's signed search: search(body, keyword, count text) fills body with the
// reply and a NUL; the links are scanned out of it, each fetched with ":orig" appended when
// the option "original" is 1.
using DesignedSearch =
    std::function<bool(std::vector<char>& body, std::string keyword, std::string count)>;
LinkSource designedLinkSource(DesignedSearch search);

// The address of the tile's full-size picture, as the copy command "オリジナルURLコピー"
// gives it: the recorded address of a hashtag-timeline tile, else the name with ":orig".
std::string originalAddressOf(const Tile& tile);
