// Signs one request from the command line and prints the URL to fetch and the form body,
// one per line, for a second implementation to check.
//   sign_request GET|POST <url> <consumer key> <consumer secret> [<token> [<token secret>]]
// A consumer key or secret of "@builtin" stands for the built-in registration.
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "oauth/consumer_registration.h"
#include "oauth/request_signing.h"

int main(int argc, char** argv) {
    if (argc < 5 || argc > 7) {
        std::cerr << "usage: sign_request GET|POST url consumerKey consumerSecret [token "
                     "[tokenSecret]]\n";
        return 2;
    }
    const std::string_view method = argv[1];
    if (method != "GET" && method != "POST") {
        std::cerr << "method must be GET or POST\n";
        return 2;
    }
    const std::string key = std::string_view(argv[3]) == "@builtin" ? consumerKey() : argv[3];
    const std::string secret = std::string_view(argv[4]) == "@builtin" ? consumerSecret() : argv[4];
    const std::optional<std::string_view> token =
        argc > 5 ? std::optional<std::string_view>(argv[5]) : std::nullopt;
    const std::optional<std::string_view> tokenSecret =
        argc > 6 ? std::optional<std::string_view>(argv[6]) : std::nullopt;

    std::string body;
    const std::string url =
        SignRequest(argv[2], method == "POST" ? &body : nullptr, key, secret, token, tokenSecret);
    std::cout << url << '\n' << body << '\n';
    return 0;
}
