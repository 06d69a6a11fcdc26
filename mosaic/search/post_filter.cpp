#include "mosaic/search/post_filter.h"

#include <algorithm>
#include <optional>

#include "http/code_page.h"
#include "http/service_config.h"
#include "mosaic/raster/picture_hash.h"
#include "mosaic/search/hidden_list.h"
#include "mosaic/wall/tile_grid.h"
#include "settings/wall_options.h"

namespace {

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

std::string lowerAscii(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lowered;
}

}  // namespace

std::vector<std::string> skipWordsOf(std::string_view line) {
    const std::string text = lowerAscii(ToUtf8(std::string(line)));
    std::vector<std::string> words;
    std::string word;
    for (std::size_t at = 0; at <= text.size(); ++at) {
        const std::string_view rest = std::string_view(text).substr(at);
        const bool space = rest.empty() || rest.starts_with(kIdeographicSpace) ||
                           rest.front() == ' ' || rest.front() == '\t';
        if (!space) {
            word.push_back(rest.front());
            continue;
        }
        if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
        if (rest.starts_with(kIdeographicSpace)) {
            at += kIdeographicSpace.size() - 1;
        }
    }
    return words;
}

PostFilter currentPostFilter() {
    return PostFilter{std::string(serviceSourceName(serviceConfig().source)),
                      skipWordsOf(wallOptionText(WallOption::SkipWords)),
                      wallOptionIsOn(WallOption::SimilarSkip)};
}

bool isUnwantedPost(const PostFilter& filter, const ImageLink& link) {
    if (isHiddenAddress(link.name) || isHiddenAuthor(filter.source, link.author)) {
        return true;
    }
    if (filter.skipWords.empty() || link.text.empty()) {
        return false;
    }
    const std::string text = lowerAscii(link.text);
    return std::any_of(
        filter.skipWords.begin(), filter.skipWords.end(),
        [&](const std::string& word) { return text.find(word) != std::string::npos; });
}

bool isUnwantedPicture(const PostFilter& filter, const Surface& picture) {
    if (!filter.similarSkip && !anyHiddenLook()) {
        return false;
    }
    const std::optional<std::uint64_t> hash = pictureHash(picture);
    return hash && (isHiddenLook(*hash) || (filter.similarSkip && isSimilarImage(*hash)));
}
