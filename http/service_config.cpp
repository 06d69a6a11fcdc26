#include "http/service_config.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <mutex>
#include <optional>
#include <utility>

#include "oauth/consumer_registration.h"

namespace {

std::mutex configMutex;
ServiceConfig currentConfig;
std::atomic<std::uint64_t> configGeneration{0};

constexpr std::pair<std::string_view, SearchSource> kSourceNames[] = {
    {"twitter", SearchSource::Designed},    {"mastodon", SearchSource::HashtagTimeline},
    {"misskey", SearchSource::MisskeyTag},  {"flickr", SearchSource::FlickrFeed},
    {"bluesky", SearchSource::BlueskyFeed},
};

std::optional<SearchSource> sourceNamed(std::string_view name) {
    for (const auto& [text, source] : kSourceNames) {
        if (name == text) {
            return source;
        }
    }
    return std::nullopt;
}

// The address without trailing '/', or none when it is not a printable https address.
std::optional<std::string> usableServiceUrl(std::string url) {
    while (url.ends_with('/')) {
        url.pop_back();
    }
    // A plain-text service would see the access token in clear; the client picks TLS
    // by the lower-case scheme.
    constexpr std::string_view kHttps = "https://";
    // It goes into the request line and the Host line as it is: a space or a
    // control byte there would end the field it stands in.
    const bool printable = std::none_of(url.begin(), url.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7F;
    });
    if (printable && url.starts_with(kHttps) && url.size() > kHttps.size()) {
        return url;
    }
    return std::nullopt;
}

}  // namespace

std::string_view takeConfigLine(std::string_view& text) {
    const auto lineEnd = text.find('\n');
    std::string_view line = text.substr(0, lineEnd);
    text.remove_prefix(lineEnd == std::string_view::npos ? text.size() : lineEnd + 1);
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    return line;
}

std::string_view serviceSourceName(SearchSource source) {
    for (const auto& [text, named] : kSourceNames) {
        if (named == source) {
            return text;
        }
    }
    return kSourceNames[0].first;
}

std::string_view defaultServiceUrl(SearchSource source) {
    switch (source) {
        case SearchSource::FlickrFeed:
            return kFlickrServiceUrl;
        case SearchSource::BlueskyFeed:
            return kBlueskyServiceUrl;
        default:
            return kDefaultServiceUrl;
    }
}

ServiceConfig ParseServiceConfig(std::string_view text) {
    ServiceConfig config;
    bool urlGiven = false;
    while (!text.empty()) {
        const std::string_view line = takeConfigLine(text);
        const auto equals = line.find('=');
        if (line.empty() || line.starts_with('#') || equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = line.substr(0, equals);
        const std::string value(line.substr(equals + 1));
        if (value.empty()) {
            continue;
        }
        if (key == "service_url") {
            if (auto url = usableServiceUrl(value)) {
                config.serviceUrl = std::move(*url);
                urlGiven = true;
            }
        } else if (key == "consumer_key") {
            config.consumerKey = value;
        } else if (key == "consumer_secret") {
            config.consumerSecret = value;
        } else if (key == "ca_bundle") {
            config.caBundle = value;
        } else if (key == "source") {
            config.source = sourceNamed(value).value_or(config.source);
        } else if (key == "access_token") {
            config.accessToken = value;
        } else if (key == "show_sensitive") {
            config.showSensitive = value == "1";
        }
    }
    if (!urlGiven) {
        config.serviceUrl = defaultServiceUrl(config.source);
    }
    return config;
}

bool loadServiceConfig(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        setServiceConfig(ServiceConfig{});
        return false;
    }
    std::string text(kMaxServiceConfigBytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (text.size() > kMaxServiceConfigBytes) {
        setServiceConfig(ServiceConfig{});
        return false;
    }
    setServiceConfig(ParseServiceConfig(text));
    return true;
}

void setServiceConfig(const ServiceConfig& config) {
    {
        std::lock_guard lock(configMutex);
        currentConfig = config;
    }
    configGeneration.fetch_add(1);
    if (!config.consumerKey.empty() || !config.consumerSecret.empty()) {
        setConsumerRegistration(
            config.consumerKey.empty() ? consumerKey() : config.consumerKey,
            config.consumerSecret.empty() ? consumerSecret() : config.consumerSecret);
    }
}

ServiceConfig serviceConfig() {
    std::lock_guard lock(configMutex);
    return currentConfig;
}

std::string serviceUrl(std::string_view path) {
    return serviceConfig().serviceUrl + std::string(path);
}

std::uint64_t serviceConfigGeneration() {
    return configGeneration.load();
}
