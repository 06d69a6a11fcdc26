#include "mosaic/search/hashtag_timeline.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "http/code_page.h"
#include "http/program_version.h"
#include "mosaic/raster/image_limits.h"
#include "mosaic/search/link_rules.h"
#include "mosaic/search/post_id.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/shell_hooks.h"
#include "oauth/percent_encoding.h"
#include "settings/option_store.h"
#include "settings/text_utilities.h"

namespace {

using Json = nlohmann::json;

constexpr std::string_view kTimelinePath = "/api/v1/timelines/tag/";
constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
// Room for the reply's head beside a body of kMaxTimelineReplyBytes.
constexpr std::size_t kMaxTimelineHeadBytes = 64 * 1024;

std::vector<std::string> keywordWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    const auto endWord = [&] {
        const auto tagStart = word.find_first_not_of('#');
        if (tagStart != std::string::npos) {
            words.push_back(word.substr(tagStart));
        }
        word.clear();
    };
    while (!text.empty()) {
        if (isAsciiSpace(text.front())) {
            endWord();
            text.remove_prefix(1);
        } else if (text.starts_with(kIdeographicSpace)) {
            endWord();
            text.remove_prefix(kIdeographicSpace.size());
        } else {
            word.push_back(text.front());
            text.remove_prefix(1);
        }
    }
    endWord();
    return words;
}

const std::string* stringField(const Json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? &found->get_ref<const std::string&>()
                                                       : nullptr;
}

// An author's handle as the pinned list and the shell can keep it: printable, one line.
bool isUsableAuthor(std::string_view author) {
    constexpr std::size_t kMaxAuthorBytes = 256;
    return !author.empty() && author.size() <= kMaxAuthorBytes &&
           std::none_of(author.begin(), author.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

// meta.focus of a media attachment: both coordinates numbers within [-1, 1], else none.
std::optional<std::pair<float, float>> focusOf(const Json& attachment) {
    const Json* focus = &attachment;
    for (const char* key : {"meta", "focus"}) {
        const auto found = focus->find(key);
        if (found == focus->end() || !found->is_object()) {
            return std::nullopt;
        }
        focus = &*found;
    }
    const auto coordinate = [&](const char* key) -> std::optional<float> {
        const auto found = focus->find(key);
        if (found == focus->end() || !found->is_number()) {
            return std::nullopt;
        }
        const double value = found->get<double>();
        return value >= -1.0 && value <= 1.0 ? std::optional(static_cast<float>(value))
                                             : std::nullopt;
    };
    const auto x = coordinate("x");
    const auto y = coordinate("y");
    return x && y ? std::optional(std::pair(*x, *y)) : std::nullopt;
}

// The post's own account and page, which a boost does not share with the boosted post.
ImageLink postOrigin(const Json& post) {
    ImageLink origin;
    const auto account = post.find("account");
    if (account != post.end() && account->is_object()) {
        if (const std::string* acct = stringField(*account, "acct");
            acct != nullptr && isUsableAuthor(*acct)) {
            origin.author = *acct;
        }
    }
    if (const std::string* page = stringField(post, "url");
        page != nullptr && isUsableAddress(*page)) {
        origin.postPage = *page;
    }
    const auto sensitive = post.find("sensitive");
    origin.sensitive = sensitive != post.end() && sensitive->is_boolean() && sensitive->get<bool>();
    return origin;
}

void takeImages(const Json& post, bool original, std::vector<ImageLink>& links) {
    const ImageLink origin = postOrigin(post);
    const auto attachments = post.find("media_attachments");
    if (attachments == post.end() || !attachments->is_array()) {
        return;
    }
    for (const Json& attachment : *attachments) {
        if (!attachment.is_object()) {
            continue;
        }
        const std::string* type = stringField(attachment, "type");
        const std::string* url = stringField(attachment, "url");
        const std::string* chosen = original ? url : stringField(attachment, "preview_url");
        if (type == nullptr || *type != "image" || url == nullptr || chosen == nullptr ||
            !isUsableAddress(*url) || !isUsableAddress(*chosen)) {
            continue;
        }
        ImageLink link = origin;
        link.name = *chosen;
        link.fetchUrl = *chosen;
        link.original = *url;
        link.focus = focusOf(attachment);
        links.push_back(std::move(link));
    }
}

void tellRefusal(const HashtagTimelineServices& services) {
    if (services.showRefusal) {
        services.showRefusal();
    }
}

FetchOptions timelineFetchOptions(const ServiceConfig& config) {
    FetchOptions options;
    options.userAgent = kProgramUserAgent;
    // The read stops there, so a huge reply costs neither the memory nor the parse.
    options.maxReplyBytes = kMaxTimelineReplyBytes + kMaxTimelineHeadBytes;
    if (!config.accessToken.empty()) {
        options.extraHeaderLines.push_back("Authorization: Bearer " + config.accessToken);
    }
    return options;
}

// Asks the instance description once per state; a server that did not answer is asked again
// next time and meanwhile asked as always.
HashtagFeedAccess feedAccessOf(HashtagTimelineState& state, const HashtagTimelineServices& services,
                               const ServiceConfig& config, TimelineClock::time_point now) {
    if (!state.feedAccess) {
        std::vector<char> body;
        FetchReply reply;
        const bool found = services.fetch(body, config.serviceUrl + std::string(kInstancePath),
                                          timelineFetchOptions(config), reply);
        state.pacing.pausedUntil = rateLimitPause(reply, now);
        if (reply.status) {
            state.feedAccess =
                found ? readHashtagFeedAccess(std::string_view(body.data(), body.size()),
                                              !config.accessToken.empty())
                      : HashtagFeedAccess::AsAsked;
        }
    }
    return state.feedAccess.value_or(HashtagFeedAccess::AsAsked);
}

}  // namespace

TimelineTags timelineTags(std::string_view keywordUtf8) {
    std::vector<std::string> words = keywordWords(keywordUtf8);
    TimelineTags tags;
    if (words.empty()) {
        return tags;
    }
    tags.tag = std::move(words.front());
    for (std::size_t i = 1; i < words.size() && tags.additional.size() < kMaxAdditionalTags; ++i) {
        tags.additional.push_back(std::move(words[i]));
    }
    return tags;
}

std::string hashtagTimelinePath(const TimelineTags& tags, std::int32_t postCount,
                                std::string_view sinceId, bool localOnly) {
    if (tags.tag.empty()) {
        return {};
    }
    const std::int32_t limit = std::clamp(postCount, std::int32_t{1}, kMaxTimelinePosts);
    std::string path = std::string(kTimelinePath) + PercentEncode(tags.tag) +
                       "?limit=" + std::to_string(limit) + "&only_media=true";
    if (localOnly) {
        path += "&local=true";
    }
    for (const std::string& word : tags.additional) {
        path += "&any[]=" + PercentEncode(word);
    }
    if (!sinceId.empty()) {
        path += "&since_id=" + std::string(sinceId);
    }
    return path;
}

TimelinePage readTimelinePage(std::string_view body, bool original) {
    TimelinePage page;
    if (body.size() > kMaxTimelineReplyBytes) {
        return page;
    }
    const Json reply = Json::parse(body.begin(), body.end(), nullptr, false);
    if (reply.is_discarded() || !reply.is_array()) {
        return page;
    }
    page.readable = true;
    for (const Json& post : reply) {
        if (!post.is_object()) {
            continue;
        }
        if (const std::string* id = stringField(post, "id");
            id != nullptr && isDecimalPostId(*id) && isNewerPostId(*id, page.newestId)) {
            page.newestId = *id;
        }
        takeImages(post, original, page.links);
        const auto boosted = post.find("reblog");
        if (boosted != post.end() && boosted->is_object()) {
            takeImages(*boosted, original, page.links);
        }
    }
    return page;
}

std::vector<ImageLink> fetchHashtagTimelineLinks(HashtagTimelineState& state,
                                                 const HashtagTimelineServices& services,
                                                 const ServiceConfig& config,
                                                 const std::string& keyword,
                                                 std::int32_t postCount) {
    const TimelineClock::time_point now = services.now();
    const TimelineTags tags = timelineTags(ToUtf8(keyword));
    // The since_id belongs to one request: another keyword starts afresh.
    const std::string requestKey = hashtagTimelinePath(tags, kMaxTimelinePosts, {});
    if (requestKey.empty() || !takeRequestTurn(state.pacing, now)) {
        return {};
    }
    const HashtagFeedAccess access = feedAccessOf(state, services, config, now);
    if (access == HashtagFeedAccess::Closed) {
        if (firstRefusal(state.pacing)) {
            tellRefusal(services);
        }
        return {};
    }
    if (state.pacing.pausedUntil) {
        return {};
    }
    if (requestKey != state.sinceIdPath) {
        state.sinceIdPath = requestKey;
        state.newestId.clear();
    }
    const std::string path = hashtagTimelinePath(tags, postCount, state.newestId,
                                                 access == HashtagFeedAccess::LocalOnly);
    std::vector<char> body;
    FetchReply reply;
    const bool found =
        services.fetch(body, config.serviceUrl + path, timelineFetchOptions(config), reply);
    if (noteSourceReply(state.pacing, reply, now)) {
        tellRefusal(services);
    }
    if (!found) {
        return {};
    }
    const bool original = optionIsOn(OptionKey::OriginalImages);
    TimelinePage page = readTimelinePage(std::string_view(body.data(), body.size()), original);
    if (isNewerPostId(page.newestId, state.newestId)) {
        state.newestId = page.newestId;
    }
    return std::move(page.links);
}

HashtagTimelineState& hashtagTimelineState() {
    static HashtagTimelineState state;
    return state;
}

std::vector<ImageLink> hashtagTimelineLinks(const std::string& keyword, std::int32_t postCount) {
    return fetchHashtagTimelineLinks(hashtagTimelineState(), realSourceServices(), serviceConfig(),
                                     keyword, postCount);
}

HashtagTimelineServices realSourceServices() {
    return {
        [](std::vector<char>& body, std::string_view url, const FetchOptions& options,
           FetchReply& reply) { return HttpFetch(body, url, options, reply); },
        [] { return TimelineClock::now(); },
        [] { showTimelineRefusal(); },
    };
}
