#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// One image that a search found.
struct ImageLink {
    // The tile's name: the address as the search gave it.
    std::string name;
    // The address downloaded for it.
    std::string fetchUrl;
    // The full-size picture's address when the source names one; empty: name + ":orig".
    std::string original;
    // Who posted it (a handle or a name) and the post's page, where the source names them.
    std::string author{};
    std::string postPage{};
    // The post's text, where the source gives one.
    std::string text{};
    // The source marks the post or the picture as sensitive.
    bool sensitive = false;
    // Focal point in [-1, 1] from left/bottom to right/top, where the source gives one.
    std::optional<std::pair<float, float>> focus{};
};

// Where a search cycle gets its links: the image links of one search for keyword (ANSI code
// page), asking for at most postCount posts, in the order the reply lists them.
using LinkSource =
    std::function<std::vector<ImageLink>(const std::string& keyword, std::int32_t postCount)>;
