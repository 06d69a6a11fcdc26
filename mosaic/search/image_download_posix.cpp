#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <mutex>

#include "http/io_cancel.h"
#include "http/io_timeout.h"
#include "mosaic/search/image_download.h"

namespace {

struct CurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

using Clock = std::chrono::steady_clock;

struct BodySink {
    FetchedBody* body;
    std::size_t limit;
    Clock::duration idleLimit;
    Clock::time_point lastProgress = Clock::now();
    curl_off_t lastReceived = 0;
    bool cancelled = false;
};

// Ends a transfer during which nothing arrived for longer than the idle limit, and one that
// the program's exit cancels (curl calls this at least about once a second).
int checkIdle(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t) {
    auto* sink = static_cast<BodySink*>(user);
    if (CancelRequested()) {
        sink->cancelled = true;
        return 1;
    }
    const auto now = Clock::now();
    if (received != sink->lastReceived) {
        sink->lastReceived = received;
        sink->lastProgress = now;
        return 0;
    }
    return now - sink->lastProgress > sink->idleLimit ? 1 : 0;
}

std::size_t appendChunk(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<BodySink*>(user);
    const std::size_t n = size * count;
    auto& bytes = sink->body->bytes;
    if (n > sink->limit - bytes.size()) {
        sink->body->overLimit = true;
        return 0;  // makes curl abort the transfer
    }
    bytes.insert(bytes.end(), data, data + n);
    return n;
}

void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

FetchedBody fetchUrlBody(const std::string& url, std::size_t byteLimit,
                         const std::string& userAgent) {
    initialiseCurlOnce();
    FetchedBody body;
    CurlEasy easy(curl_easy_init());
    if (!easy) {
        return body;
    }
    const auto timeout = IoTimeout();
    BodySink sink{&body, byteLimit, timeout};
    curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_USERAGENT, userAgent.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy.get(), CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy.get(), CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy.get(), CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(easy.get(), CURLOPT_NOSIGNAL, 1L);
    // A stalled image host must not hold the search worker, and with it the exit, forever.
    curl_easy_setopt(easy.get(), CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeout.count()));
    // Nor may a host that dribbles its bytes just fast enough to dodge the idle limit.
    curl_easy_setopt(easy.get(), CURLOPT_TIMEOUT_MS,
                     static_cast<long>(MaxExchangeDuration().count()));
    curl_easy_setopt(easy.get(), CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy.get(), CURLOPT_XFERINFOFUNCTION, checkIdle);
    curl_easy_setopt(easy.get(), CURLOPT_XFERINFODATA, &sink);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, appendChunk);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &sink);
    const CURLcode code = curl_easy_perform(easy.get());

    long status = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (body.overLimit || sink.cancelled) {
        body.opened = false;
        body.bytes.clear();
        return body;
    }
    // Like the platform download service, any reply counts as opened whatever its status;
    // an error after the reply began keeps what had arrived, but a download still going at
    // its deadline fails.
    body.opened = code != CURLE_OPERATION_TIMEDOUT && (code == CURLE_OK || status != 0);
    if (!body.opened) {
        body.bytes.clear();
    }
    return body;
}
