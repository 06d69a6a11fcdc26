// Runs one exchange through the program's own HTTP client, for the end-to-end tests:
//   fetch_probe [--workdir DIR] [--timeout-ms N] [--token T --token-secret S]
//               (--get URL | --post URL BODY | --search KEYWORD [--count N])
// It reads ./txts/service.txt of the working directory first, as the program does at
// start-up, and prints one JSON line: the configuration read, whether the exchange
// succeeded, the body's length and its first bytes, and the time the exchange took.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "http/http_fetch.h"
#include "http/io_timeout.h"
#include "http/service_config.h"
#include "http/service_operations.h"
#include "oauth/consumer_registration.h"
#include "oauth/oauth_credentials.h"
#include "probe_json.h"

namespace {

constexpr std::size_t kBodyPrefixBytes = 300;

struct Request {
    std::optional<std::string> workdir;
    std::optional<long> timeoutMs;
    std::string token;
    std::string tokenSecret;
    std::string mode;  // "get", "post" or "search"
    std::string target;
    std::optional<std::string> postBody;
    std::string count = "15";
};

std::optional<Request> parseArguments(int argc, char** argv) {
    Request request;
    for (int i = 1; i < argc; ++i) {
        const std::string_view flag = argv[i];
        const bool hasValue = i + 1 < argc;
        if (flag == "--workdir" && hasValue) {
            request.workdir = argv[++i];
        } else if (flag == "--timeout-ms" && hasValue) {
            request.timeoutMs = std::stol(argv[++i]);
        } else if (flag == "--token" && hasValue) {
            request.token = argv[++i];
        } else if (flag == "--token-secret" && hasValue) {
            request.tokenSecret = argv[++i];
        } else if (flag == "--count" && hasValue) {
            request.count = argv[++i];
        } else if ((flag == "--get" || flag == "--search") && hasValue) {
            request.mode = flag.substr(2);
            request.target = argv[++i];
        } else if (flag == "--post" && i + 2 < argc) {
            request.mode = "post";
            request.target = argv[++i];
            request.postBody = argv[++i];
        } else {
            return std::nullopt;
        }
    }
    if (request.mode.empty()) {
        return std::nullopt;
    }
    return request;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Request> request = parseArguments(argc, argv);
    if (!request) {
        std::fprintf(stderr,
                     "usage: fetch_probe [--workdir DIR] [--timeout-ms N] [--token T "
                     "--token-secret S] (--get URL | --post URL BODY | --search KEYWORD "
                     "[--count N])\n");
        return 2;
    }
    if (request->workdir) {
        std::error_code error;
        std::filesystem::current_path(*request->workdir, error);
        if (error) {
            std::printf("{\"error\":%s}\n", jsonBytes("cannot enter " + *request->workdir).c_str());
            return 1;
        }
    }
    const bool configLoaded = loadServiceConfig();
    if (request->timeoutMs) {
        SetIoTimeout(std::chrono::milliseconds(*request->timeoutMs));
    }
    publishCredentials(
        OAuthCredentials{consumerKey(), consumerSecret(), request->token, request->tokenSecret});

    std::vector<char> body;
    const auto started = std::chrono::steady_clock::now();
    bool ok = false;
    if (request->mode == "search") {
        ok = SearchTweets(body, request->target, request->count);
    } else if (request->mode == "post") {
        ok = HttpFetch(body, request->target, std::string_view(*request->postBody));
    } else {
        ok = HttpFetch(body, request->target);
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);

    const ServiceConfig config = serviceConfig();
    const std::string_view bodyText(body.data(), body.size());
    std::printf(
        "{\"config_loaded\":%s,\"service_url\":%s,\"ca_bundle\":%s,\"ok\":%s,"
        "\"body_bytes\":%zu,\"body_prefix\":%s,\"elapsed_ms\":%lld}\n",
        configLoaded ? "true" : "false", jsonBytes(config.serviceUrl).c_str(),
        jsonBytes(config.caBundle).c_str(), ok ? "true" : "false", body.size(),
        jsonBytes(bodyText.substr(0, kBodyPrefixBytes)).c_str(),
        static_cast<long long>(elapsed.count()));
    std::fflush(stdout);
    return 0;
}
