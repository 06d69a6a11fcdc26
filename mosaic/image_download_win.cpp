#include <windows.h>
#include <wininet.h>

#include <array>
#include <chrono>
#include <memory>
#include <type_traits>

#include "http/io_timeout.h"
#include "mosaic/image_download.h"

namespace {

struct InternetHandleCloser {
    void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<std::remove_pointer_t<HINTERNET>, InternetHandleCloser>;

std::wstring ansiToWide(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int units = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(),
                                          static_cast<int>(text.size()), nullptr, 0);
    if (units <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), static_cast<int>(text.size()),
                        wide.data(), units);
    return wide;
}

}  // namespace

FetchedBody fetchUrlBody(const std::string& url, std::size_t byteLimit) {
    const IoClock::time_point deadline = IoClock::now() + MaxExchangeDuration();
    FetchedBody body;
    InternetHandle internet(InternetOpenW(L"NETINET Sample Program", INTERNET_OPEN_TYPE_PRECONFIG,
                                          nullptr, nullptr, 0));
    if (!internet) {
        return body;
    }
    // A stalled image host must not hold the search worker, and with it the exit, forever.
    DWORD timeoutMs = static_cast<DWORD>(IoTimeout().count());
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        InternetSetOptionW(internet.get(), option, &timeoutMs, sizeof timeoutMs);
    }
    const std::wstring wideUrl = ansiToWide(url);
    if (wideUrl.empty()) {
        return body;
    }
    InternetHandle request(InternetOpenUrlW(internet.get(), wideUrl.c_str(), nullptr, 0, 0, 0));
    if (!request) {
        return body;
    }
    body.opened = true;
    std::array<std::uint8_t, 1024> chunk{};
    // A host that dribbles its bytes just fast enough to dodge the time-out must not hold
    // the worker either: a download still going at its deadline fails.
    bool pastDeadline = false;
    for (;;) {
        const std::chrono::milliseconds wait = ReadWait(deadline);
        if (wait <= std::chrono::milliseconds::zero()) {
            pastDeadline = true;
            break;
        }
        // Best effort: not every WinINet honours a time-out changed in mid-transfer.
        DWORD waitMs = static_cast<DWORD>(wait.count());
        InternetSetOptionW(request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &waitMs, sizeof waitMs);
        DWORD received = 0;
        if (!InternetReadFile(request.get(), chunk.data(), static_cast<DWORD>(chunk.size()),
                              &received) ||
            received == 0) {
            pastDeadline = IoClock::now() >= deadline;
            break;
        }
        if (received > byteLimit - body.bytes.size()) {
            body.overLimit = true;
            body.bytes.clear();
            break;
        }
        body.bytes.insert(body.bytes.end(), chunk.data(), chunk.data() + received);
    }
    if (pastDeadline) {
        body.opened = false;
        body.bytes.clear();
    }
    return body;
}
