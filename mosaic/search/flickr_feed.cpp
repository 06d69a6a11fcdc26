#include "mosaic/search/flickr_feed.h"

#include <nlohmann/json.hpp>
#include <utility>

#include "http/code_page.h"
#include "mosaic/search/json_fields.h"
#include "mosaic/search/link_rules.h"
#include "oauth/percent_encoding.h"
#include "settings/option_store.h"

namespace {

using Json = nlohmann::json;

constexpr std::string_view kMediumSuffix = "_m.jpg";

// The feed escapes apostrophes as \' , which JSON does not know; every other escape stays.
std::string withoutApostropheEscapes(std::string_view body) {
    std::string text;
    text.reserve(body.size());
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '\\' && i + 1 < body.size()) {
            if (body[i + 1] != '\'') {
                text.push_back('\\');
            }
            text.push_back(body[++i]);
        } else {
            text.push_back(body[i]);
        }
    }
    return text;
}

// The name in `nobody@flickr.com ("Name")`, or none.
std::string authorName(const Json& item) {
    if (const std::string* author = jsonString(item, "author")) {
        const auto open = author->find("(\"");
        const auto close = author->rfind("\")");
        if (open != std::string::npos && close != std::string::npos && close > open + 2) {
            return author->substr(open + 2, close - open - 2);
        }
    }
    const std::string* id = jsonString(item, "author_id");
    return id != nullptr ? *id : "";
}

std::optional<ImageLink> itemLink(const Json& item, bool original) {
    const Json* media = jsonObject(item, "media");
    const std::string* medium = media != nullptr ? jsonString(*media, "m") : nullptr;
    if (medium == nullptr || !medium->ends_with(kMediumSuffix)) {
        return std::nullopt;
    }
    const std::string stem = medium->substr(0, medium->size() - kMediumSuffix.size());
    const std::string large = stem + "_b.jpg";
    const std::string shown = original ? large : stem + "_z.jpg";
    if (!isUsableAddress(large) || !isUsableAddress(shown)) {
        return std::nullopt;
    }
    ImageLink link{shown, shown, large};
    link.author = authorName(item);
    const std::string* page = jsonString(item, "link");
    link.postPage = page != nullptr && isUsableAddress(*page) ? *page : "";
    const std::string* title = jsonString(item, "title");
    link.text = title != nullptr ? *title : "";
    return link;
}

}  // namespace

std::string flickrFeedPath(std::string_view keywordUtf8) {
    const TimelineTags tags = timelineTags(keywordUtf8);
    if (tags.tag.empty()) {
        return {};
    }
    std::string joined = PercentEncode(tags.tag);
    for (const std::string& word : tags.additional) {
        joined.push_back(',');
        joined += PercentEncode(word);
    }
    return "/services/feeds/photos_public.gne?tags=" + joined +
           "&tagmode=any&format=json&nojsoncallback=1";
}

std::vector<ImageLink> readFlickrFeed(std::string_view body, bool original) {
    std::vector<ImageLink> links;
    if (body.size() > kMaxSourceReplyBytes) {
        return links;
    }
    const std::string text = withoutApostropheEscapes(body);
    const Json reply = Json::parse(text, nullptr, false);
    const Json* items = reply.is_discarded() ? nullptr : jsonArray(reply, "items");
    if (items == nullptr) {
        return links;
    }
    for (const Json& item : *items) {
        if (auto link = itemLink(item, original)) {
            links.push_back(std::move(*link));
        }
    }
    return links;
}

std::vector<ImageLink> fetchFlickrLinks(SourceRequestState& state,
                                        const HashtagTimelineServices& services,
                                        const ServiceConfig& config, const std::string& keyword) {
    const std::string path = flickrFeedPath(ToUtf8(keyword));
    if (path.empty() || !takeRequestTurn(state, services.now())) {
        return {};
    }
    const auto reply = fetchSourceReply(
        state, services, sourceServer(config, kFlickrDefaultServer) + path, FetchOptions{});
    return reply ? readFlickrFeed(*reply, optionIsOn(OptionKey::OriginalImages))
                 : std::vector<ImageLink>{};
}

SourceRequestState& flickrState() {
    static SourceRequestState state{kFlickrMinInterval};
    return state;
}

std::vector<ImageLink> flickrLinks(const std::string& keyword, std::int32_t /*postCount*/) {
    return fetchFlickrLinks(flickrState(), realSourceServices(), serviceConfig(), keyword);
}
