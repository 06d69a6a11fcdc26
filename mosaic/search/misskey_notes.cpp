#include "mosaic/search/misskey_notes.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <utility>

#include "http/code_page.h"
#include "mosaic/search/json_fields.h"
#include "mosaic/search/link_rules.h"
#include "mosaic/search/post_id.h"
#include "settings/option_store.h"

namespace {

using Json = nlohmann::json;

constexpr std::size_t kMaxNoteIdLength = 32;

bool isNoteId(std::string_view id) {
    return !id.empty() && id.size() <= kMaxNoteIdLength &&
           std::all_of(id.begin(), id.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
           });
}

std::string authorOf(const Json& note) {
    const Json* user = jsonObject(note, "user");
    const std::string* name = user != nullptr ? jsonString(*user, "username") : nullptr;
    if (name == nullptr) {
        return {};
    }
    const std::string* host = jsonString(*user, "host");
    return host != nullptr && !host->empty() ? *name + "@" + *host : *name;
}

// The address a file is shown by: the url for the original, else the thumbnail. A thumbnail
// that is missing or no usable address falls back to the url, so a file counts the same
// whichever size is chosen.
const std::string* chosenAddress(const Json& file, bool original) {
    const std::string* url = jsonString(file, "url");
    if (original) {
        return url;
    }
    const std::string* thumbnail = jsonString(file, "thumbnailUrl");
    return thumbnail != nullptr && isUsableAddress(*thumbnail) ? thumbnail : url;
}

void takeFiles(const Json& note, std::string_view server, bool original,
               std::vector<ImageLink>& links) {
    const Json* files = jsonArray(note, "files");
    if (files == nullptr) {
        return;
    }
    const std::string* id = jsonString(note, "id");
    const std::string* text = jsonString(note, "text");
    const bool hasCw = jsonString(note, "cw") != nullptr;
    for (const Json& file : *files) {
        const std::string* type = jsonString(file, "type");
        const std::string* url = jsonString(file, "url");
        const std::string* chosen = chosenAddress(file, original);
        if (type == nullptr || !type->starts_with("image/") || url == nullptr ||
            chosen == nullptr || !isUsableAddress(*url) || !isUsableAddress(*chosen)) {
            continue;
        }
        const auto marked = file.find("isSensitive");
        ImageLink link{*chosen, *chosen, *url};
        link.author = authorOf(note);
        link.postPage = id != nullptr && isNoteId(*id) ? std::string(server) + "/notes/" + *id : "";
        link.text = text != nullptr ? *text : "";
        link.sensitive = hasCw || (marked != file.end() && marked->is_boolean() && *marked);
        links.push_back(std::move(link));
    }
}

}  // namespace

std::string misskeyRequestBody(std::string_view tagUtf8, std::int32_t postCount,
                               std::string_view sinceId) {
    if (tagUtf8.empty()) {
        return {};
    }
    Json body = {{"tag", std::string(tagUtf8)},
                 {"withFiles", true},
                 {"limit", std::clamp(postCount, std::int32_t{1}, kMaxMisskeyNotes)}};
    if (!sinceId.empty()) {
        body["sinceId"] = std::string(sinceId);
    }
    // A keyword that is not UTF-8 is sent with its bytes replaced rather than refused.
    return body.dump(-1, ' ', false, Json::error_handler_t::replace);
}

MisskeyPage readMisskeyPage(std::string_view body, std::string_view server, bool original) {
    MisskeyPage page;
    if (body.size() > kMaxSourceReplyBytes) {
        return page;
    }
    const Json reply = Json::parse(body.begin(), body.end(), nullptr, false);
    if (reply.is_discarded() || !reply.is_array()) {
        return page;
    }
    page.readable = true;
    for (const Json& note : reply) {
        if (const std::string* id = jsonString(note, "id");
            id != nullptr && isNoteId(*id) && isNewerPostId(*id, page.newestId)) {
            page.newestId = *id;
        }
        takeFiles(note, server, original, page.links);
        const Json* renote = jsonObject(note, "renote");
        if (renote != nullptr && jsonString(note, "text") == nullptr) {
            takeFiles(*renote, server, original, page.links);
        }
    }
    return page;
}

std::vector<ImageLink> fetchMisskeyLinks(MisskeyState& state,
                                         const HashtagTimelineServices& services,
                                         const ServiceConfig& config, const std::string& keyword,
                                         std::int32_t postCount) {
    const std::string tag = timelineTags(ToUtf8(keyword)).tag;
    // No Misskey server is everyone's: without a service_url there is nobody to ask.
    const std::string server = sourceServer(config, {});
    if (tag.empty() || server.empty() || !takeRequestTurn(state.requests, services.now())) {
        return {};
    }
    // The sinceId belongs to one tag: another keyword starts afresh.
    if (tag != state.tag) {
        state.tag = tag;
        state.newestId.clear();
    }
    FetchOptions options;
    options.jsonBody = misskeyRequestBody(tag, postCount, state.newestId);
    const auto reply =
        fetchSourceReply(state.requests, services, server + "/api/notes/search-by-tag", options);
    if (!reply) {
        return {};
    }
    MisskeyPage page = readMisskeyPage(*reply, server, optionIsOn(OptionKey::OriginalImages));
    if (isNewerPostId(page.newestId, state.newestId)) {
        state.newestId = page.newestId;
    }
    return std::move(page.links);
}

MisskeyState& misskeyState() {
    static MisskeyState state;
    return state;
}

std::vector<ImageLink> misskeyLinks(const std::string& keyword, std::int32_t postCount) {
    return fetchMisskeyLinks(misskeyState(), realSourceServices(), serviceConfig(), keyword,
                             postCount);
}
