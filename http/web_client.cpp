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

}  // namespace

void WebClient::BuildHeaders(const Url& url, FormBody formBody) {
    requestHeaders.push_back("Host: " + url.host);
    requestHeaders.push_back("User-Agent: " + userAgent);
    requestHeaders.emplace_back("Accept: */*");
    requestHeaders.emplace_back("Connection: close");
    if (formBody) {
        requestHeaders.push_back("Content-Length: " + std::to_string(formBody->size()));
        requestHeaders.emplace_back("Content-Type: application/x-www-form-urlencoded");
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
    const IoClock::time_point deadline = IoClock::now() + MaxExchangeDuration();
    lastError.clear();
    raw.clear();
    try {
        TcpSocket socket = Connect(url, "http");
        SocketStream stream(socket);
        BuildHeaders(url, formBody);
        const std::string request = BuildRequestText(url, formBody);
        SendAll(stream, request.data(), request.size());
        if (HasBytes(formBody)) {
            SendAll(stream, formBody->data(), formBody->size());
        }
        ReceiveAll(stream, raw, deadline, maxReplyBytes);
        return true;
    } catch (const Error& error) {
        raw.clear();
        lastError = error.message;
        return false;
    }
}

bool WebClient::ExchangeTls(const Url& url, FormBody formBody, std::vector<char>& raw) {
    const IoClock::time_point deadline = IoClock::now() + MaxExchangeDuration();
    lastError.clear();
    raw.clear();
    try {
        TcpSocket socket = Connect(url, "https");
        InitialiseTlsOnce();
        // Errors left by earlier work on this thread must not be reported as ours.
        ERR_clear_error();
        const SslContextPtr context = MakeVerifyingContext(serviceConfig().caBundle);
        if (!context) {
            throw Error{TlsErrorText()};
        }
        const SslPtr connection(SSL_new(context.get()));
        if (!connection) {
            throw Error{TlsErrorText()};
        }
        if (SSL_set_fd(connection.get(), static_cast<int>(socket.native())) != 1) {
            throw Error{TlsErrorText()};
        }
        if (!ExpectPeerName(connection.get(), url.host)) {
            throw Error{TlsErrorText()};
        }
        switch (TlsHandshake(connection.get(), socket, IoTimeout())) {
            case IoStatus::Ok:
                break;
            case IoStatus::TimedOut:
                throw Error{"TLS handshake timed out."};
            case IoStatus::Cancelled:
                throw Error{"cancelled."};
            default:
                throw Error{TlsErrorText()};
        }
        TlsStream stream(connection.get(), socket);
        BuildHeaders(url, formBody);
        const std::string request = BuildRequestText(url, formBody);
        TlsSendAll(stream, request.data(), request.size());
        if (HasBytes(formBody)) {
            TlsSendAll(stream, formBody->data(), formBody->size());
        }
        ReceiveAll(stream, raw, deadline, maxReplyBytes);
        SSL_shutdown(connection.get());
        return true;
    } catch (const Error& error) {
        raw.clear();
        lastError = error.message;
        return false;
    }
}

void SendAll(SocketStream& socket, const char* data, std::size_t size) {
    switch (WriteAll(socket, data, size)) {
        case IoStatus::Ok:
            return;
        case IoStatus::TimedOut:
            throw WebClient::Error{"send timed out."};
        case IoStatus::Cancelled:
            throw WebClient::Error{"cancelled."};
        default:
            throw WebClient::Error{"send request failed."};
    }
}

void TlsSendAll(TlsStream& connection, const char* data, std::size_t size) {
    switch (WriteAll(connection, data, size)) {
        case IoStatus::Ok:
            return;
        case IoStatus::TimedOut:
            throw WebClient::Error{"send timed out."};
        case IoStatus::Cancelled:
            throw WebClient::Error{"cancelled."};
        default:
            throw WebClient::Error{TlsErrorText()};
    }
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
