#include "http/service_config.h"

#include <fstream>
#include <mutex>
#include <sstream>

#include "oauth/consumer_registration.h"

namespace {

std::mutex configMutex;
ServiceConfig currentConfig;

}  // namespace

ServiceConfig ParseServiceConfig(std::string_view text) {
    ServiceConfig config;
    while (!text.empty()) {
        const auto lineEnd = text.find('\n');
        std::string_view line = text.substr(0, lineEnd);
        text.remove_prefix(lineEnd == std::string_view::npos ? text.size() : lineEnd + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
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
            config.serviceUrl = value;
            while (config.serviceUrl.ends_with('/')) {
                config.serviceUrl.pop_back();
            }
            if (config.serviceUrl.empty()) {
                config.serviceUrl = kDefaultServiceUrl;
            }
        } else if (key == "consumer_key") {
            config.consumerKey = value;
        } else if (key == "consumer_secret") {
            config.consumerSecret = value;
        } else if (key == "ca_bundle") {
            config.caBundle = value;
        }
    }
    return config;
}

bool loadServiceConfig(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        setServiceConfig(ServiceConfig{});
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    setServiceConfig(ParseServiceConfig(text.str()));
    return true;
}

void setServiceConfig(const ServiceConfig& config) {
    {
        std::lock_guard lock(configMutex);
        currentConfig = config;
    }
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
