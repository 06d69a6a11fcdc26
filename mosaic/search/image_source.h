#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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
