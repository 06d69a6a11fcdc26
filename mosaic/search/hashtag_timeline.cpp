#include "mosaic/search/hashtag_timeline.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>

#include "http/code_page.h"
#include "http/http_response.h"
#include "http/program_version.h"
#include "mosaic/raster/image_limits.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/shell_hooks.h"
#include "oauth/percent_encoding.h"
#include "settings/option_store.h"
#include "settings/text_utilities.h"

namespace {

using Json = nlohmann::json;

constexpr std::string_view kTimelinePath = "/api/v1/timelines/tag/";
constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
constexpr std::size_t kMaxPostIdDigits = 30;
constexpr int kFirstIsoYear = 1900;
constexpr int kLastIsoYear = 2200;
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

// An address a tile can be named by and the download service can open as it is.
bool isUsableAddress(std::string_view address) {
    if (address.empty() || address.size() > kMaxTileNameLength ||
        !(address.starts_with("https://") || address.starts_with("http://"))) {
        return false;
    }
    return std::all_of(address.begin(), address.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte > 0x20 && byte < 0x7F;
    });
}

const std::string* stringField(const Json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? &found->get_ref<const std::string&>()
                                                       : nullptr;
}

bool isPostId(std::string_view id) {
    return !id.empty() && id.size() <= kMaxPostIdDigits &&
           std::all_of(id.begin(), id.end(), isAsciiDigit);
}

// Post ids are decimal numbers too large for any integer type.
bool isNewerId(std::string_view id, std::string_view than) {
    return id.size() != than.size() ? id.size() > than.size() : id > than;
}

void takeImages(const Json& post, bool original, bool showSensitive,
                std::vector<ImageLink>& links) {
    const auto sensitive = post.find("sensitive");
    if (!showSensitive && sensitive != post.end() && sensitive->is_boolean() &&
        sensitive->get<bool>()) {
        return;
    }
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
        links.push_back(ImageLink{*chosen, *chosen, *url});
    }
}

std::optional<int> digitsAt(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (!isAsciiDigit(text[i])) {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t daysFromCivil(int year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

void reportRefusalOnce(HashtagTimelineState& state, const HashtagTimelineServices& services) {
    if (!state.refusalShown) {
        state.refusalShown = true;
        if (services.showRefusal) {
            services.showRefusal();
        }
    }
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
                                std::string_view sinceId) {
    if (tags.tag.empty()) {
        return {};
    }
    const std::int32_t limit = std::clamp(postCount, std::int32_t{1}, kMaxTimelinePosts);
    std::string path = std::string(kTimelinePath) + PercentEncode(tags.tag) +
                       "?limit=" + std::to_string(limit) + "&only_media=true";
    for (const std::string& word : tags.additional) {
        path += "&any[]=" + PercentEncode(word);
    }
    if (!sinceId.empty()) {
        path += "&since_id=" + std::string(sinceId);
    }
    return path;
}

TimelinePage readTimelinePage(std::string_view body, bool original, bool showSensitive) {
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
            id != nullptr && isPostId(*id) && isNewerId(*id, page.newestId)) {
            page.newestId = *id;
        }
        takeImages(post, original, showSensitive, page.links);
        const auto boosted = post.find("reblog");
        if (boosted != post.end() && boosted->is_object()) {
            takeImages(*boosted, original, showSensitive, page.links);
        }
    }
    return page;
}

std::optional<TimelineClock::time_point> parseIsoTime(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS
    const auto year = digitsAt(text, 0, 4);
    const auto month = digitsAt(text, 5, 2);
    const auto day = digitsAt(text, 8, 2);
    const auto hour = digitsAt(text, 11, 2);
    const auto minute = digitsAt(text, 14, 2);
    const auto second = digitsAt(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second || text[4] != '-' ||
        text[7] != '-' || (text[10] != 'T' && text[10] != 't' && text[10] != ' ') ||
        text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    // The clock counts nanoseconds on some platforms: a time centuries away would overflow it.
    if (*year < kFirstIsoYear || *year > kLastIsoYear) {
        return std::nullopt;
    }
    if (*month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month) || *hour > 23 ||
        *minute > 59 || *second > 60) {
        return std::nullopt;
    }
    std::size_t at = 19;
    std::int64_t microseconds = 0;
    if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
        ++at;
        const std::size_t digitsFrom = at;
        std::int64_t scale = 100000;
        while (at < text.size() && isAsciiDigit(text[at])) {
            microseconds += (text[at] - '0') * scale;
            scale /= 10;
            ++at;
        }
        if (at == digitsFrom) {
            return std::nullopt;
        }
    }
    std::int64_t offsetSeconds = 0;
    const std::string_view zone = text.substr(at);
    if (zone == "Z" || zone == "z" || zone.empty()) {
        offsetSeconds = 0;
    } else if ((zone[0] == '+' || zone[0] == '-') && (zone.size() == 6 || zone.size() == 5)) {
        const auto offsetHours = digitsAt(zone, 1, 2);
        const bool withColon = zone.size() == 6;
        if (withColon && zone[3] != ':') {
            return std::nullopt;
        }
        const auto offsetMinutes = digitsAt(zone, withColon ? 4 : 3, 2);
        if (!offsetHours || !offsetMinutes || *offsetHours > 23 || *offsetMinutes > 59) {
            return std::nullopt;
        }
        offsetSeconds = (*offsetHours * 3600 + *offsetMinutes * 60) * (zone[0] == '-' ? -1 : 1);
    } else {
        return std::nullopt;
    }
    const std::int64_t seconds =
        daysFromCivil(*year, static_cast<unsigned>(*month), static_cast<unsigned>(*day)) * 86400 +
        *hour * 3600 + *minute * 60 + *second - offsetSeconds;
    return TimelineClock::time_point(std::chrono::duration_cast<TimelineClock::duration>(
        std::chrono::seconds(seconds) + std::chrono::microseconds(microseconds)));
}

std::optional<TimelineClock::time_point> rateLimitPause(const FetchReply& reply,
                                                        TimelineClock::time_point now) {
    const bool tooMany = reply.status && *reply.status == 429;
    const auto remaining = HeaderValue(reply.headerLines, "X-RateLimit-Remaining");
    const bool exhausted = remaining && *remaining == "0";
    if (!tooMany && !exhausted) {
        return std::nullopt;
    }
    std::optional<TimelineClock::time_point> until;
    if (const auto reset = HeaderValue(reply.headerLines, "X-RateLimit-Reset")) {
        until = parseIsoTime(*reset);
    }
    if (!until || *until <= now) {
        if (!tooMany) {
            return std::nullopt;
        }
        until = now + kDefaultRateLimitPause;
    }
    return std::min(*until, now + kMaxRateLimitPause);
}

std::vector<ImageLink> fetchHashtagTimelineLinks(HashtagTimelineState& state,
                                                 const HashtagTimelineServices& services,
                                                 const ServiceConfig& config,
                                                 const std::string& keyword,
                                                 std::int32_t postCount) {
    const TimelineClock::time_point now = services.now();
    if (state.pausedUntil && now < *state.pausedUntil) {
        return {};
    }
    state.pausedUntil.reset();

    const TimelineTags tags = timelineTags(ToUtf8(keyword));
    // The since_id belongs to one request: another keyword starts afresh.
    const std::string requestKey = hashtagTimelinePath(tags, kMaxTimelinePosts, {});
    if (requestKey.empty()) {
        return {};
    }
    if (requestKey != state.sinceIdPath) {
        state.sinceIdPath = requestKey;
        state.newestId.clear();
    }
    const std::string path = hashtagTimelinePath(tags, postCount, state.newestId);

    FetchOptions options;
    options.userAgent = kProgramUserAgent;
    // The read stops there, so a huge reply costs neither the memory nor the parse.
    options.maxReplyBytes = kMaxTimelineReplyBytes + kMaxTimelineHeadBytes;
    if (!config.accessToken.empty()) {
        options.extraHeaderLines.push_back("Authorization: Bearer " + config.accessToken);
    }
    std::vector<char> body;
    FetchReply reply;
    const bool found = services.fetch(body, config.serviceUrl + path, options, reply);
    state.pausedUntil = rateLimitPause(reply, now);
    if (reply.status && (*reply.status == 401 || *reply.status == 403)) {
        reportRefusalOnce(state, services);
    }
    if (!found) {
        return {};
    }
    const bool original = optionIsOn(OptionKey::OriginalImages);
    TimelinePage page = readTimelinePage(std::string_view(body.data(), body.size()), original,
                                         config.showSensitive);
    if (!page.newestId.empty() && isNewerId(page.newestId, state.newestId)) {
        state.newestId = page.newestId;
    }
    return std::move(page.links);
}

HashtagTimelineState& hashtagTimelineState() {
    static HashtagTimelineState state;
    return state;
}

std::vector<ImageLink> hashtagTimelineLinks(const std::string& keyword, std::int32_t postCount) {
    const HashtagTimelineServices services{
        [](std::vector<char>& body, std::string_view url, const FetchOptions& options,
           FetchReply& reply) { return HttpFetch(body, url, options, reply); },
        [] { return TimelineClock::now(); },
        [] { showTimelineRefusal(); },
    };
    return fetchHashtagTimelineLinks(hashtagTimelineState(), services, serviceConfig(), keyword,
                                     postCount);
}
