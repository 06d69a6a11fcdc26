#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "mosaic/search/image_source.h"

// The built-in service's search: a signed keyword search whose JSON reply is scanned for
// photo links rather than parsed.

// The image links of a search reply, in the order they appear: for every "media_url" value,
// the bytes up to and including the first ".jpg", taken only when that ".jpg" comes before
// the next "media_url_https" marker; backslashes are removed. The body is read up to its
// first NUL byte.
std::vector<std::string> extractImageLinks(std::string_view body);

// The address actually requested for a link: url, plus ":orig" when original is true.
std::string imageRequestUrl(const std::string& url, bool original);

// The signed search: search(body, keyword, count text) fills body with the reply and a NUL;
// the links are scanned out of it, each fetched with ":orig" appended when the option
// "original" is 1.
using DesignedSearch =
    std::function<bool(std::vector<char>& body, std::string keyword, std::string count)>;
LinkSource designedLinkSource(DesignedSearch search);
