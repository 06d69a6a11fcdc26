#include "app/logic/source_choices.h"

#include <array>
#include <fstream>
#include <utility>

#include "settings/file_replace.h"

namespace {

constexpr std::array<SourceRow, 5> kSourceRows{{
    {SearchSource::Designed, L"Twitter (キーワード検索)", false, false,
     L"キーワードで投稿を検索します。key.txt の認証(PIN)が要ります。"},
    {SearchSource::HashtagTimeline, L"Mastodon", true, true,
     L"最初の語がハッシュタグ、続く 4 語までもどれかのタグとして探します。"},
    {SearchSource::MisskeyTag, L"Misskey", true, false,
     L"最初の語(# なし)がタグです。そのタグのノートの画像を並べます。"},
    {SearchSource::FlickrFeed, L"Flickr", false, false,
     L"語はタグ(どれか一つ)。Flickr にはセンシティブの印がありません。"},
    {SearchSource::BlueskyFeed, L"Bluesky", false, false,
     L"アカウント(例 nasa.gov)か、bsky.app のフィードのアドレスです。"},
}};

// The keys the page owns, in the order missing ones are appended.
constexpr std::array<std::string_view, 4> kPageKeys{"source", "service_url", "access_token",
                                                    "show_sensitive"};

// A pasted value keeps to its line: control bytes would end it and start another key.
std::string oneLine(std::string value) {
    std::erase_if(value, [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
    return value;
}

std::string pageKeyValue(std::string_view key, const SourceChoices& choices) {
    if (key == "source") {
        return std::string(serviceSourceName(choices.source));
    }
    if (key == "service_url") {
        return oneLine(choices.serverUrl);
    }
    if (key == "access_token") {
        return oneLine(choices.accessToken);
    }
    return choices.showSensitive ? "1" : "";
}

// The page key a setting line sets, or none for comments, blank lines and other keys.
std::optional<std::size_t> pageKeyOf(std::string_view line) {
    const auto equals = line.find('=');
    if (line.starts_with('#') || equals == std::string_view::npos) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < kPageKeys.size(); ++i) {
        if (line.substr(0, equals) == kPageKeys[i]) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> readSmallFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::string();
    }
    std::string text(kMaxServiceConfigBytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (text.size() > kMaxServiceConfigBytes) {
        return std::nullopt;
    }
    return text;
}

}  // namespace

std::span<const SourceRow> sourceRows() {
    return kSourceRows;
}

const SourceRow& sourceRow(SearchSource source) {
    for (const SourceRow& row : kSourceRows) {
        if (row.source == source) {
            return row;
        }
    }
    return kSourceRows.front();
}

SourceChoices sourceChoicesOf(const ServiceConfig& config) {
    SourceChoices choices;
    choices.source = config.source;
    if (config.serviceUrl != defaultServiceUrl(config.source)) {
        choices.serverUrl = config.serviceUrl;
    }
    choices.accessToken = config.accessToken;
    choices.showSensitive = config.showSensitive;
    return choices;
}

std::optional<SourceProblem> sourceChoicesProblem(const SourceChoices& choices) {
    if (choices.serverUrl.empty()) {
        if (sourceRow(choices.source).needsServer) {
            return SourceProblem::ServerNeeded;
        }
        return std::nullopt;
    }
    // The reader takes an address only when it is usable, so an unusable one reads as none.
    const ServiceConfig read = ParseServiceConfig("service_url=" + choices.serverUrl);
    if (read.serviceUrl == kDefaultServiceUrl && choices.serverUrl != kDefaultServiceUrl) {
        return SourceProblem::ServerUnusable;
    }
    return std::nullopt;
}

std::string rewrittenServiceText(std::string_view text, const SourceChoices& choices) {
    std::array<bool, kPageKeys.size()> written{};
    std::string result;
    const auto put = [&](std::size_t key) {
        const std::string value = pageKeyValue(kPageKeys[key], choices);
        if (!written[key] && !value.empty()) {
            result.append(kPageKeys[key]).append("=").append(value).append("\n");
        }
        written[key] = true;
    };
    while (!text.empty()) {
        const std::string_view line = takeConfigLine(text);
        if (const auto key = pageKeyOf(line)) {
            put(*key);
        } else {
            result.append(line).append("\n");
        }
    }
    for (std::size_t key = 0; key < kPageKeys.size(); ++key) {
        put(key);
    }
    return result;
}

SourceStoreResult storeSourceChoices(const SourceChoices& choices,
                                     const std::filesystem::path& path) {
    SourceStoreResult result;
    const std::optional<std::string> before = readSmallFile(path);
    if (!before) {
        return result;
    }
    const std::string text = rewrittenServiceText(*before, choices);
    result.saved = replaceFileText(path, text);
    const ServiceConfig after = ParseServiceConfig(text);
    if (after != serviceConfig()) {
        setServiceConfig(after);
        result.changed = true;
    }
    return result;
}
