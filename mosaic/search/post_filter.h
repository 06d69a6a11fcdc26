#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "mosaic/raster/surface.h"
#include "mosaic/search/image_source.h"

// What a search cycle leaves out besides the designed duplicate rule: hidden pictures and
// authors (hidden_list.h), posts holding one of the skip_words, and with similar_skip on,
// pictures that look like a tile already on the wall. Taken once at the start of a cycle.
struct PostFilter {
    std::string source;                  // the source's name, as hidden authors record it
    std::vector<std::string> skipWords;  // UTF-8, ASCII letters in lower case
    bool similarSkip = false;
};

PostFilter currentPostFilter();

// The words of a skip_words line (ANSI code page): split at spaces, including the ideographic
// space, ASCII letters lowered.
std::vector<std::string> skipWordsOf(std::string_view line);

// A link whose address or author is hidden, or whose text holds a skip word.
bool isUnwantedPost(const PostFilter& filter, const ImageLink& link);

// A picture that looks like a hidden one or, with similarSkip, like a tile on the wall or in
// the queue (the caller holds appMutex).
bool isUnwantedPicture(const PostFilter& filter, const Surface& picture);
