#include "http/tls.h"

#include <array>
#include <mutex>

#include <openssl/err.h>
#include <openssl/x509v3.h>

#include "http/socket.h"
#include "http/trust_store.h"

void InitialiseTlsOnce() {
    static std::once_flag once;
    std::call_once(once, [] { OPENSSL_init_ssl(0, nullptr); });
}

std::string TlsErrorText() {
    std::array<char, 1000> text{};
    ERR_error_string_n(ERR_get_error(), text.data(), text.size());
    return std::string(text.data());
}

SslContextPtr MakeVerifyingContext(const std::string& caBundlePath) {
    SslContextPtr context(SSL_CTX_new(TLS_client_method()));
    if (!context) {
        return nullptr;
    }
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    if (SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION) != 1) {
        return nullptr;
    }
    // Without system roots a configured bundle may still vouch for the server, so a
    // failure here is not the exchange's failure.
    AddSystemTrustRoots(context.get());
    ERR_clear_error();
    if (!caBundlePath.empty() &&
        SSL_CTX_load_verify_locations(context.get(), caBundlePath.c_str(), nullptr) != 1) {
        return nullptr;
    }
    return context;
}

bool ExpectPeerName(SSL* connection, const std::string& host) {
    if (host.empty()) {
        return false;
    }
    X509_VERIFY_PARAM* checks = SSL_get0_param(connection);
    if (X509_VERIFY_PARAM_set1_ip_asc(checks, host.c_str()) == 1) {
        return true;
    }
    ERR_clear_error();
    return SSL_set_tlsext_host_name(connection, host.c_str()) == 1 &&
           SSL_set1_host(connection, host.c_str()) == 1;
}

namespace {

// Repeats attempt() (an SSL call that gives 1 on success) while the connection waits for its
// socket, waiting for the socket in between, for at most wait in all.
template <typename Attempt>
IoResult RetryTls(SSL* connection, TcpSocket& socket, std::chrono::milliseconds wait,
                  Attempt attempt) {
    const IoClock::time_point until = IoClock::now() + wait;
    for (;;) {
        std::size_t count = 0;
        const int result = attempt(count);
        if (result == 1) {
            return {IoStatus::Ok, count};
        }
        SocketWait what = SocketWait::Read;
        switch (SSL_get_error(connection, result)) {
            case SSL_ERROR_WANT_READ:
                break;
            case SSL_ERROR_WANT_WRITE:
                what = SocketWait::Write;
                break;
            case SSL_ERROR_ZERO_RETURN:
                return {IoStatus::Closed, 0};
            default:
                return {IoStatus::Failed, 0};
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - IoClock::now());
        const IoStatus ready = WaitForSocket(socket, what, left);
        if (ready != IoStatus::Ok) {
            return {ready, 0};
        }
    }
}

}  // namespace

IoStatus TlsHandshake(SSL* connection, TcpSocket& socket, std::chrono::milliseconds timeout) {
    return RetryTls(connection, socket, timeout,
                    [&](std::size_t&) { return SSL_connect(connection); })
        .status;
}

IoResult TlsStream::WriteSome(const char* data, std::size_t size) {
    return RetryTls(connection_, socket_, IoTimeout(), [&](std::size_t& written) {
        return SSL_write_ex(connection_, data, size, &written);
    });
}

IoResult TlsStream::ReadSome(char* buffer, std::size_t size) {
    return RetryTls(connection_, socket_, readWait_, [&](std::size_t& read) {
        return SSL_read_ex(connection_, buffer, size, &read);
    });
}
