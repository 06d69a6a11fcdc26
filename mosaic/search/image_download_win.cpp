#include <windows.h>
#include <wininet.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>

#include "http/code_page.h"
#include "http/io_cancel.h"
#include "http/io_timeout.h"
#include "mosaic/search/image_download.h"

namespace {

struct InternetHandleCloser {
    void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<std::remove_pointer_t<HINTERNET>, InternetHandleCloser>;

// Reads the body into body.bytes; true when the deadline passed first.
bool readBody(HINTERNET request, IoClock::time_point deadline, std::size_t byteLimit,
              FetchedBody& body) {
    std::array<std::uint8_t, 1024> chunk{};
    // A host that dribbles its bytes just fast enough to dodge the time-out must not hold
    // the worker either: a download still going at its deadline fails.
    for (;;) {
        const std::chrono::milliseconds wait = ReadWait(deadline);
        if (wait <= std::chrono::milliseconds::zero()) {
            return true;
        }
        if (CancelRequested()) {
            return false;
        }
        // Best effort: not every WinINet honours a time-out changed in mid-transfer.
        DWORD waitMs = static_cast<DWORD>(wait.count());
        InternetSetOptionW(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &waitMs, sizeof waitMs);
        DWORD received = 0;
        if (!InternetReadFile(request, chunk.data(), static_cast<DWORD>(chunk.size()), &received) ||
            received == 0) {
            return IoClock::now() >= deadline;
        }
        if (received > byteLimit - body.bytes.size()) {
            body.overLimit = true;
            body.bytes.clear();
            return false;
        }
        body.bytes.insert(body.bytes.end(), chunk.data(), chunk.data() + received);
    }
}

// Fetches url on the calling thread; WinINet blocks in it for up to its time-outs.
FetchedBody fetchBlocking(const std::string& url, std::size_t byteLimit,
                          const std::string& userAgent) {
    const IoClock::time_point deadline = IoClock::now() + MaxExchangeDuration();
    FetchedBody body;
    // Agents are printable ASCII.
    const std::wstring agent(userAgent.begin(), userAgent.end());
    InternetHandle internet(
        InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet) {
        return body;
    }
    // A stalled image host must not hold the search worker, and with it the exit, forever.
    DWORD timeoutMs = static_cast<DWORD>(IoTimeout().count());
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        InternetSetOptionW(internet.get(), option, &timeoutMs, sizeof timeoutMs);
    }
    const std::wstring wideUrl = ToWide(url);
    if (wideUrl.empty()) {
        return body;
    }
    InternetHandle request(InternetOpenUrlW(internet.get(), wideUrl.c_str(), nullptr, 0, 0, 0));
    if (!request) {
        return body;
    }
    body.opened = true;
    if (readBody(request.get(), deadline, byteLimit, body) || CancelRequested()) {
        body.opened = false;
        body.bytes.clear();
    }
    return body;
}

// One download handed to a thread of its own, so the worker can stop waiting for it.
struct DownloadJob {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    FetchedBody body;
};

}  // namespace

FetchedBody fetchUrlBody(const std::string& url, std::size_t byteLimit,
                         const std::string& userAgent) {
    if (CancelRequested()) {
        return {};
    }
    // WinINet has no way to cut a blocking open or read short (a handle closed under it stays
    // in use until its time-out), so the worker waits for the download in short slices and
    // leaves it behind when a cancel is requested; the download then ends by itself, at its
    // next chunk or time-out, or with the process.
    auto job = std::make_shared<DownloadJob>();
    std::thread([job, url, byteLimit, userAgent] {
        FetchedBody body = fetchBlocking(url, byteLimit, userAgent);
        const std::lock_guard<std::mutex> hold(job->mutex);
        job->body = std::move(body);
        job->done = true;
        job->finished.notify_all();
    }).detach();
    std::unique_lock<std::mutex> hold(job->mutex);
    while (!job->done) {
        if (CancelRequested()) {
            return {};
        }
        job->finished.wait_for(hold, kCancelSlice);
    }
    return std::move(job->body);
}
