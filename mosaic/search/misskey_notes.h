#pragma once

// The search through a Misskey server's notes by tag (POST /api/notes/search-by-tag), read
// without an account.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "http/service_config.h"
#include "mosaic/search/image_source.h"
#include "mosaic/search/source_reply.h"

// The most notes one request may ask for.
inline constexpr std::int32_t kMaxMisskeyNotes = 100;
// The shortest time between two requests to the server.
inline constexpr std::chrono::seconds kMisskeyMinInterval{20};

// The request's JSON body: {"tag":..., "withFiles":true, "limit":n[, "sinceId":...]} with n
// between 1 and kMaxMisskeyNotes. Empty when the tag is empty.
std::string misskeyRequestBody(std::string_view tagUtf8, std::int32_t postCount,
                               std::string_view sinceId);

// What one reply gives: the image links of its notes and of renotes without text of their
// own, in reply order, and the newest note id on it.
struct MisskeyPage {
    bool readable = false;  // the body was a JSON array
    std::vector<ImageLink> links;
    std::string newestId;  // letters and digits; empty when no note carried a usable id
};

// Reads a reply body from server (for the notes' page addresses). Takes every file whose
// type starts with "image/" and whose chosen address (url when original, else thumbnailUrl
// or url when that is null) is usable; the link's original is the file's url. A note with a
// cw or a file marked isSensitive gives sensitive links.
MisskeyPage readMisskeyPage(std::string_view body, std::string_view server, bool original);

// What the Misskey search keeps from one cycle to the next.
struct MisskeyState {
    std::string tag;       // the tag that newestId belongs to
    std::string newestId;  // the newest note seen for it in this run
    SourceRequestState requests{kMisskeyMinInterval};
};

// One search: the first word of the keyword without "#" as the tag, since the newest note
// seen for that tag in an earlier cycle.
std::vector<ImageLink> fetchMisskeyLinks(MisskeyState& state,
                                         const HashtagTimelineServices& services,
                                         const ServiceConfig& config, const std::string& keyword,
                                         std::int32_t postCount);

// The process's Misskey search, with the real client. Called by the search worker.
std::vector<ImageLink> misskeyLinks(const std::string& keyword, std::int32_t postCount);

// The process's state (tests put it back).
MisskeyState& misskeyState();
