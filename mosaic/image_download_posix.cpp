#include <curl/curl.h>

#include <memory>
#include <mutex>

#include "mosaic/image_download.h"

namespace {

struct CurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

struct BodySink {
    FetchedBody* body;
    std::size_t limit;
};

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

FetchedBody fetchUrlBody(const std::string& url, std::size_t byteLimit) {
    initialiseCurlOnce();
    FetchedBody body;
    CurlEasy easy(curl_easy_init());
    if (!easy) {
        return body;
    }
    BodySink sink{&body, byteLimit};
    curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_USERAGENT, "NETINET Sample Program");
    curl_easy_setopt(easy.get(), CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy.get(), CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy.get(), CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy.get(), CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(easy.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, appendChunk);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &sink);
    const CURLcode code = curl_easy_perform(easy.get());

    long status = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (body.overLimit) {
        body.bytes.clear();
        return body;
    }
    // Like the platform download service, any reply counts as opened whatever its status;
    // an error after the reply began keeps what had arrived.
    body.opened = code == CURLE_OK || status != 0;
    if (!body.opened) {
        body.bytes.clear();
    }
    return body;
}
