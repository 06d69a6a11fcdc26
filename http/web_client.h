#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "http/byte_stream.h"
#include "http/http_response.h"
#include "http/io_timeout.h"
#include "http/url.h"

class TlsStream;

inline constexpr const char* kGenericUserAgent = "Generic Web Client";

// The bytes of a form body; its presence, not its length, makes a request a POST.
using FormBody = std::optional<std::string_view>;

// The client of one HTTP/1.0 fetch: one connection, one request, the reply read until
// the server closes. Never reused for a second request.
class WebClient {
  public:
    // A failure inside an exchange; the exchange that throws it also catches it.
    struct Error {
        std::string message;
    };

    std::vector<std::string> requestHeaders;
    std::string lastError;
    HttpResponse response;
    // What the User-Agent line names.
    std::string userAgent = kGenericUserAgent;
    // Further complete header lines, sent after the fixed ones; a line holding a CR, LF or
    // NUL byte is never sent, so no value can start a header of its own.
    std::vector<std::string> extraHeaderLines;
    // A reply (head and body) larger than this is refused.
    std::size_t maxReplyBytes = kMaxReplyBytes;
    // The Content-Type line of a body sent by POST.
    std::string formContentType = "application/x-www-form-urlencoded";

    // Appends the Host, User-Agent, Accept and Connection lines, for a form body its
    // Content-Length and Content-Type, then the extra lines.
    void BuildHeaders(const Url& url, FormBody formBody);
    // The request line, every header line and the empty line, each ended by CR LF.
    std::string BuildRequestText(const Url& url, FormBody formBody) const;

    // Runs the exchange the URL asks for and parses whatever arrived into `into`.
    void Perform(const Url& url, FormBody formBody, HttpResponse& into);
    // Each returns false with lastError set (and raw empty) when the exchange failed.
    bool ExchangePlain(const Url& url, FormBody formBody, std::vector<char>& raw);
    bool ExchangeTls(const Url& url, FormBody formBody, std::vector<char>& raw);
};

// What a failed step throws when it neither timed out nor was cancelled; asked for at the
// moment of the failure, so it can read the error the failure left.
using FailureText = std::string (*)();
std::string PlainSendFailureText();

// Sends every byte or throws WebClient::Error.
void SendAll(ByteStream& stream, const char* data, std::size_t size,
             FailureText failureText = PlainSendFailureText);
// SendAll over a TLS connection: a failure carries the TLS library's error text.
void TlsSendAll(TlsStream& connection, const char* data, std::size_t size);

// Appends the whole reply to raw; throws WebClient::Error when it stalls, grows past maxBytes
// or is still arriving at the deadline.
void ReceiveAll(ByteStream& stream, std::vector<char>& raw, IoClock::time_point deadline,
                std::size_t maxBytes = kMaxReplyBytes);
