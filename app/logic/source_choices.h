#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "http/service_config.h"

// One choice of the "取得元" page's source list: its label, whether the source has no host of
// its own (so the server address is needed), whether it reads an access token, and the line
// saying what the keyword means for it.
struct SourceRow {
    SearchSource source;
    const wchar_t* label;
    bool needsServer;
    bool takesToken;
    const wchar_t* keywordMeaning;
};

// The rows in the order the list shows them; the designed service first.
std::span<const SourceRow> sourceRows();
const SourceRow& sourceRow(SearchSource source);

// What the "取得元" page edits; all of it lives in txts/service.txt.
struct SourceChoices {
    SearchSource source = SearchSource::Designed;
    std::string serverUrl;    // empty: the source's own host (the built-in one for the designed)
    std::string accessToken;  // kept whatever the source, read by Mastodon only
    bool showSensitive = false;
};

// The choices a configuration stands for; an address that is the source's default shows empty.
SourceChoices sourceChoicesOf(const ServiceConfig& config);

enum class SourceProblem {
    ServerNeeded,    // Mastodon and Misskey have no host of their own
    ServerUnusable,  // not a printable https address
};

// Why OK cannot take the choices, or none.
std::optional<SourceProblem> sourceChoicesProblem(const SourceChoices& choices);

// The configuration text with the page's keys (source, service_url, access_token,
// show_sensitive) set to choices: the first line of each key is replaced, later ones are
// dropped, missing ones are appended, and a key whose value is empty or off is left out.
// Comments, blank lines and every other key stay as they were, line ends become "\n".
std::string rewrittenServiceText(std::string_view text, const SourceChoices& choices);

struct SourceStoreResult {
    bool saved = false;    // the file now holds the choices
    bool changed = false;  // another configuration is now current: the sources start afresh
};

// OK: rewrites the file at path atomically (a file too large to read is left alone) and makes
// the configuration it holds current when that differs from the current one. The search
// then asks the new source from its next cycle on.
SourceStoreResult storeSourceChoices(const SourceChoices& choices,
                                     const std::filesystem::path& path = kServiceConfigPath);
