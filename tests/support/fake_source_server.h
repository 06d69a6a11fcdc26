#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "http/http_fetch.h"
#include "mosaic/search/hashtag_feed_access.h"
#include "mosaic/search/hashtag_timeline.h"

// A stand-in server: every timeline fetch gets the next queued reply (or fails when none is
// left); the instance description is always the same reply (none: the server does not answer).
struct FakeServer {
    struct Answer {
        std::optional<unsigned> status;
        std::vector<std::string> headers;
        std::string body;
    };
    std::vector<Answer> answers;
    std::optional<Answer> instance = Answer{404u, {}, R"({"error":"Record not found"})"};
    std::vector<std::string> urls;
    std::vector<std::string> instanceUrls;
    std::vector<FetchOptions> options;
    TimelineClock::time_point now = *parseIsoTime("2026-12-08T10:00:00Z");
    int refusals = 0;

    HashtagTimelineServices services() {
        return HashtagTimelineServices{
            [this](std::vector<char>& body, std::string_view url, const FetchOptions& sent,
                   FetchReply& reply) {
                const bool describing = url.ends_with(kInstancePath);
                (describing ? instanceUrls : urls).emplace_back(url);
                options.push_back(sent);
                if (describing ? !instance : answers.empty()) {
                    body.clear();
                    reply = FetchReply{};
                    return false;
                }
                Answer answer = describing ? *instance : answers.front();
                if (!describing) {
                    answers.erase(answers.begin());
                }
                body.assign(answer.body.begin(), answer.body.end());
                reply.status = answer.status;
                reply.headerLines = answer.headers;
                reply.headerLines.insert(reply.headerLines.begin(), "HTTP/1.1 000 X");
                return answer.status == 200u;
            },
            [this] { return now; },
            [this] { ++refusals; },
        };
    }
};

// The tile names of links, in their order.
inline std::vector<std::string> namesOf(const std::vector<ImageLink>& links) {
    std::vector<std::string> names;
    for (const ImageLink& link : links) {
        names.push_back(link.name);
    }
    return names;
}
