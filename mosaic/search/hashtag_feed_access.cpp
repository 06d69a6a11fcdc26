#include "mosaic/search/hashtag_feed_access.h"

#include <nlohmann/json.hpp>
#include <string>

namespace {

using Json = nlohmann::json;

// Instance descriptions list rules and languages: a few kilobytes, far below this.
constexpr std::size_t kMaxInstanceReplyBytes = 1024 * 1024;

bool isOpen(const Json& feeds, const char* which, bool withToken) {
    const std::string access = feeds.value(which, std::string());
    return access == "public" || (withToken && access == "authenticated");
}

const Json* member(const Json* object, const char* key) {
    if (object == nullptr || !object->is_object()) {
        return nullptr;
    }
    const auto found = object->find(key);
    return found != object->end() ? &*found : nullptr;
}

}  // namespace

HashtagFeedAccess readHashtagFeedAccess(std::string_view body, bool withToken) {
    if (body.size() > kMaxInstanceReplyBytes) {
        return HashtagFeedAccess::AsAsked;
    }
    const Json reply = Json::parse(body.begin(), body.end(), nullptr, false);
    const Json* feeds =
        member(member(member(&reply, "configuration"), "timelines_access"), "hashtag_feeds");
    const Json* local = member(feeds, "local");
    const Json* remote = member(feeds, "remote");
    if (local == nullptr || remote == nullptr || !local->is_string() || !remote->is_string()) {
        return HashtagFeedAccess::AsAsked;
    }
    if (isOpen(*feeds, "remote", withToken)) {
        return HashtagFeedAccess::AsAsked;
    }
    return isOpen(*feeds, "local", withToken) ? HashtagFeedAccess::LocalOnly
                                              : HashtagFeedAccess::Closed;
}
