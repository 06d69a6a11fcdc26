#include "http/web_client.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include "http/byte_stream.h"
#include "http/io_cancel.h"
#include "http/io_timeout.h"
#include "http/service_config.h"
#include "http/socket.h"
#include "http/socket_stream.h"
#include "http/tls.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Resolves the host, creates the socket and connects it, throwing the step's failure.
TcpSocket Connect(const Url& url, const char* defaultService) {
    if (CancelRequested()) {
        throw WebClient::Error{"cancelled."};
    }
    const auto address = ResolveIpv4(url.host);
    if (!address) {
        throw WebClient::Error{"gethostbyname failed."};
    }
    const auto port = static_cast<std::uint16_t>(ResolvePort(url, defaultService));
    TcpSocket socket = CreateTcpSocket();
    if (!socket.valid()) {
        throw WebClient::Error{"socket failed."};
    }
    switch (ConnectWithTimeout(socket, *address, port, IoTimeout())) {
        case ConnectStatus::Connected:
            return socket;
        case ConnectStatus::TimedOut:
            throw WebClient::Error{"connect timed out."};
        case ConnectStatus::Cancelled:
            throw WebClient::Error{"cancelled."};
        case ConnectStatus::Failed:
            break;
    }
    throw WebClient::Error{"connect failed."};
}

bool HasBytes(FormBody formBody) {
    return formBody && !formBody->empty();
}

// Runs one exchange: clears what an earlier one left, and turns a thrown failure into false
// with lastError set and raw empty.
template <typename Body>
bool guardExchange(WebClient& client, std::vector<char>& raw, Body body) {
    const IoClock::time_point deadline = IoClock::now() + MaxExchangeDuration();
    client.lastError.clear();
    raw.clear();
    try {
        body(deadline);
        return true;
    } catch (const WebClient::Error& error) {
        raw.clear();
        client.lastError = error.message;
        return false;
    }
}

// Returns when status is Ok; otherwise throws timedOutText, "cancelled." or failureText().
void throwUnlessOk(IoStatus status, const char* timedOutText, FailureText failureText) {
    switch (status) {
        case IoStatus::Ok:
            return;
        case IoStatus::TimedOut:
            throw WebClient::Error{timedOutText};
        case IoStatus::Cancelled:
            throw WebClient::Error{"cancelled."};
        default:
            throw WebClient::Error{failureText()};
    }
}

// A client connection to url.host over the connected socket, its handshake done.
SslPtr openTlsConnection(TcpSocket& socket, const Url& url) {
    InitialiseTlsOnce();
    // Errors left by earlier work on this thread must not be reported as ours.
    ERR_clear_error();
    const SslContextPtr context = MakeVerifyingContext(serviceConfig().caBundle);
    if (!context) {
        throw WebClient::Error{TlsErrorText()};
    }
    SslPtr connection(SSL_new(context.get()));
    if (!connection || SSL_set_fd(connection.get(), static_cast<int>(socket.native())) != 1 ||
        !ExpectPeerName(connection.get(), url.host)) {
        throw WebClient::Error{TlsErrorText()};
    }
    throwUnlessOk(TlsHandshake(connection.get(), socket, IoTimeout()), "TLS handshake timed out.",
                  TlsErrorText);
    return connection;
}

// The request and its form body out, then the whole reply in: the tail both transports share.
void sendRequestAndReceive(WebClient& client, ByteStream& stream, const Url& url, FormBody formBody,
                           std::vector<char>& raw, IoClock::time_point deadline,
                           FailureText sendFailureText) {
    client.BuildHeaders(url, formBody);
    const std::string request = client.BuildRequestText(url, formBody);
    SendAll(stream, request.data(), request.size(), sendFailureText);
    if (HasBytes(formBody)) {
        SendAll(stream, formBody->data(), formBody->size(), sendFailureText);
    }
    ReceiveAll(stream, raw, deadline, client.maxReplyBytes);
}

}  // namespace

void WebClient::BuildHeaders(const Url& url, FormBody formBody) {
    requestHeaders.push_back("Host: " + url.host);
    requestHeaders.push_back("User-Agent: " + userAgent);
    requestHeaders.emplace_back("Accept: */*");
    requestHeaders.emplace_back("Connection: close");
    if (formBody) {
        requestHeaders.push_back("Content-Length: " + std::to_string(formBody->size()));
        requestHeaders.push_back("Content-Type: " + formContentType);
    }
    for (const std::string& line : extraHeaderLines) {
        if (line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos) {
            requestHeaders.push_back(line);
        }
    }
}

std::string WebClient::BuildRequestText(const Url& url, FormBody formBody) const {
    std::string text = formBody ? "POST " : "GET ";
    text += url.path;
    text += " HTTP/1.0";
    text += kLineEnd;
    for (const std::string& line : requestHeaders) {
        text += line;
        text += kLineEnd;
    }
    text += kLineEnd;
    return text;
}

void WebClient::Perform(const Url& url, FormBody formBody, HttpResponse& into) {
    into.headerLines.clear();
    into.body.clear();
    std::vector<char> raw;
    if (url.UsesTls()) {
        ExchangeTls(url, formBody, raw);
    } else {
        ExchangePlain(url, formBody, raw);
    }
    if (!raw.empty()) {
        ParseResponse(raw.data(), raw.data() + raw.size(), into);
    }
}

bool WebClient::ExchangePlain(const Url& url, FormBody formBody, std::vector<char>& raw) {
    return guardExchange(*this, raw, [&](IoClock::time_point deadline) {
        TcpSocket socket = Connect(url, "http");
        SocketStream stream(socket);
        sendRequestAndReceive(*this, stream, url, formBody, raw, deadline, PlainSendFailureText);
    });
}

bool WebClient::ExchangeTls(const Url& url, FormBody formBody, std::vector<char>& raw) {
    return guardExchange(*this, raw, [&](IoClock::time_point deadline) {
        TcpSocket socket = Connect(url, "https");
        const SslPtr connection = openTlsConnection(socket, url);
        TlsStream stream(connection.get(), socket);
        sendRequestAndReceive(*this, stream, url, formBody, raw, deadline, TlsErrorText);
        SSL_shutdown(connection.get());
    });
}

std::string PlainSendFailureText() {
    return "send request failed.";
}

void SendAll(ByteStream& stream, const char* data, std::size_t size, FailureText failureText) {
    throwUnlessOk(WriteAll(stream, data, size), "send timed out.", failureText);
}

void TlsSendAll(TlsStream& connection, const char* data, std::size_t size) {
    SendAll(connection, data, size, TlsErrorText);
}

void ReceiveAll(ByteStream& stream, std::vector<char>& raw, IoClock::time_point deadline,
                std::size_t maxBytes) {
    switch (ReadReply(stream, raw, deadline, maxBytes)) {
        case ReplyStatus::Complete:
            return;
        case ReplyStatus::TooLarge:
            throw WebClient::Error{"reply too large."};
        case ReplyStatus::TimedOut:
            throw WebClient::Error{"receive timed out."};
        case ReplyStatus::TooSlow:
            throw WebClient::Error{"reply took too long."};
        case ReplyStatus::Cancelled:
            throw WebClient::Error{"cancelled."};
    }
}
