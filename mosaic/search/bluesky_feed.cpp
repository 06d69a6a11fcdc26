#include "mosaic/search/bluesky_feed.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>
#include <utility>

#include "http/code_page.h"
#include "mosaic/search/json_fields.h"
#include "mosaic/search/link_rules.h"
#include "oauth/percent_encoding.h"
#include "settings/option_store.h"
#include "settings/text_utilities.h"

namespace {

using Json = nlohmann::json;

constexpr std::string_view kProfilePrefix = "bsky.app/profile/";
constexpr std::string_view kPostPagePrefix = "https://bsky.app/profile/";
constexpr std::size_t kMaxNameLength = 253;
constexpr std::array<std::string_view, 4> kSensitiveLabels{"porn", "sexual", "nudity",
                                                           "graphic-media"};

// A handle, a DID or a record key: nothing a query or a path would read differently.
bool isPlainName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxNameLength &&
           std::all_of(name.begin(), name.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                      std::string_view(".-_:~").find(c) != std::string_view::npos;
           });
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isAsciiSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isAsciiSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view nextSegment(std::string_view& rest) {
    const auto slash = rest.find('/');
    const std::string_view segment = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
    return segment;
}

std::string withFormat(const std::string& address) {
    const auto slash = address.rfind('/');
    const bool named =
        address.find('@', slash == std::string::npos ? 0 : slash) != std::string::npos;
    return named ? address : address + "@jpeg";
}

bool isLabelledSensitive(const Json& post) {
    const Json* labels = jsonArray(post, "labels");
    if (labels == nullptr) {
        return false;
    }
    return std::any_of(labels->begin(), labels->end(), [](const Json& label) {
        const std::string* value = jsonString(label, "val");
        return value != nullptr && std::find(kSensitiveLabels.begin(), kSensitiveLabels.end(),
                                             *value) != kSensitiveLabels.end();
    });
}

// The images#view of a post's embed, directly or as the media beside a quoted record.
const Json* imagesView(const Json& post) {
    const Json* embed = jsonObject(post, "embed");
    const std::string* type = embed != nullptr ? jsonString(*embed, "$type") : nullptr;
    if (type != nullptr && *type == "app.bsky.embed.recordWithMedia#view") {
        embed = jsonObject(*embed, "media");
        type = embed != nullptr ? jsonString(*embed, "$type") : nullptr;
    }
    return type != nullptr && *type == "app.bsky.embed.images#view" ? embed : nullptr;
}

// Fills what every picture of the post shares.
ImageLink postOrigin(const Json& post) {
    ImageLink origin;
    const Json* author = jsonObject(post, "author");
    const std::string* handle = author != nullptr ? jsonString(*author, "handle") : nullptr;
    const std::string* uri = jsonString(post, "uri");
    if (handle != nullptr && isPlainName(*handle)) {
        origin.author = *handle;
        const std::string_view key =
            uri != nullptr ? std::string_view(*uri).substr(uri->rfind('/') + 1) : "";
        if (isPlainName(key)) {
            origin.postPage = std::string(kPostPagePrefix) + *handle + "/post/" + std::string(key);
        }
    }
    const Json* record = jsonObject(post, "record");
    const std::string* text = record != nullptr ? jsonString(*record, "text") : nullptr;
    origin.text = text != nullptr ? *text : "";
    origin.sensitive = isLabelledSensitive(post);
    return origin;
}

void takeImages(const Json& post, bool original, std::vector<ImageLink>& links) {
    const Json* view = imagesView(post);
    const Json* images = view != nullptr ? jsonArray(*view, "images") : nullptr;
    if (images == nullptr) {
        return;
    }
    const ImageLink origin = postOrigin(post);
    for (const Json& image : *images) {
        const std::string* thumb = jsonString(image, "thumb");
        const std::string* full = jsonString(image, "fullsize");
        if (thumb == nullptr || full == nullptr) {
            continue;
        }
        const std::string large = withFormat(*full);
        const std::string shown = original ? large : withFormat(*thumb);
        if (!isUsableAddress(large) || !isUsableAddress(shown)) {
            continue;
        }
        ImageLink link = origin;
        link.name = link.fetchUrl = shown;
        link.original = large;
        links.push_back(std::move(link));
    }
}

std::string limitText(std::int32_t postCount) {
    return std::to_string(std::clamp(postCount, std::int32_t{1}, kMaxBlueskyPosts));
}

}  // namespace

BlueskyTarget blueskyTarget(std::string_view keywordUtf8) {
    std::string_view rest = trimmed(keywordUtf8);
    for (const std::string_view scheme : {"https://", "http://"}) {
        if (startsWithIgnoringCase(rest, scheme)) {
            rest.remove_prefix(scheme.size());
        }
    }
    if (startsWithIgnoringCase(rest, kProfilePrefix)) {
        rest.remove_prefix(kProfilePrefix.size());
    } else if (rest.starts_with('@')) {
        rest.remove_prefix(1);
    }
    rest = rest.substr(0, rest.find_first_of("?#"));
    BlueskyTarget target;
    const std::string_view actor = nextSegment(rest);
    if (!isPlainName(actor)) {
        return target;
    }
    target.actor = std::string(actor);
    if (nextSegment(rest) == "feed") {
        const std::string_view feed = nextSegment(rest);
        if (!isPlainName(feed)) {
            return {};
        }
        target.feed = std::string(feed);
    }
    return target;
}

std::string blueskyAuthorFeedPath(std::string_view actor, std::int32_t postCount) {
    return "/xrpc/app.bsky.feed.getAuthorFeed?actor=" + PercentEncode(actor) +
           "&filter=posts_with_media&limit=" + limitText(postCount);
}

std::string blueskyResolvePath(std::string_view handle) {
    return "/xrpc/com.atproto.identity.resolveHandle?handle=" + PercentEncode(handle);
}

std::string blueskyFeedPath(std::string_view did, std::string_view feed, std::int32_t postCount) {
    const std::string uri =
        "at://" + std::string(did) + "/app.bsky.feed.generator/" + std::string(feed);
    return "/xrpc/app.bsky.feed.getFeed?feed=" + PercentEncode(uri) +
           "&limit=" + limitText(postCount);
}

std::optional<std::string> readResolvedDid(std::string_view body) {
    if (body.size() > kMaxSourceReplyBytes) {
        return std::nullopt;
    }
    const Json reply = Json::parse(body.begin(), body.end(), nullptr, false);
    const std::string* did = reply.is_discarded() ? nullptr : jsonString(reply, "did");
    if (did == nullptr || !did->starts_with("did:") || !isPlainName(*did)) {
        return std::nullopt;
    }
    return *did;
}

std::vector<ImageLink> readBlueskyFeed(std::string_view body, bool original) {
    std::vector<ImageLink> links;
    if (body.size() > kMaxSourceReplyBytes) {
        return links;
    }
    const Json reply = Json::parse(body.begin(), body.end(), nullptr, false);
    const Json* feed = reply.is_discarded() ? nullptr : jsonArray(reply, "feed");
    if (feed == nullptr) {
        return links;
    }
    for (const Json& item : *feed) {
        // A repost's item carries the reposted post itself.
        if (const Json* post = jsonObject(item, "post")) {
            takeImages(*post, original, links);
        }
    }
    return links;
}

std::vector<ImageLink> fetchBlueskyLinks(BlueskyState& state,
                                         const HashtagTimelineServices& services,
                                         const ServiceConfig& config, const std::string& keyword,
                                         std::int32_t postCount) {
    const BlueskyTarget target = blueskyTarget(ToUtf8(keyword));
    if (target.actor.empty() || !takeRequestTurn(state.requests, services.now())) {
        return {};
    }
    const std::string server = sourceServer(config, kBlueskyDefaultServer);
    std::string path = blueskyAuthorFeedPath(target.actor, postCount);
    if (!target.feed.empty()) {
        if (target.actor.starts_with("did:")) {
            state.resolvedHandle = state.resolvedDid = target.actor;
        } else if (state.resolvedHandle != target.actor || state.resolvedDid.empty()) {
            const auto reply = fetchSourceReply(state.requests, services,
                                                server + blueskyResolvePath(target.actor), {});
            const auto did = reply ? readResolvedDid(*reply) : std::nullopt;
            if (!did) {
                return {};
            }
            state.resolvedHandle = target.actor;
            state.resolvedDid = *did;
        }
        path = blueskyFeedPath(state.resolvedDid, target.feed, postCount);
    }
    const auto reply = fetchSourceReply(state.requests, services, server + path, {});
    return reply ? readBlueskyFeed(*reply, optionIsOn(OptionKey::OriginalImages))
                 : std::vector<ImageLink>{};
}

BlueskyState& blueskyState() {
    static BlueskyState state;
    return state;
}

std::vector<ImageLink> blueskyLinks(const std::string& keyword, std::int32_t postCount) {
    return fetchBlueskyLinks(blueskyState(), realSourceServices(), serviceConfig(), keyword,
                             postCount);
}
