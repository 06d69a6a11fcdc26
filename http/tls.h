#pragma once

// OpenSSL pieces of the TLS exchange: owners for the context and the connection,
// the one-time library start, the error text and the connection as a byte stream.

#include <chrono>
#include <memory>
#include <string>

#include <openssl/ssl.h>

#include "http/byte_stream.h"
#include "http/io_timeout.h"
#include "http/socket.h"

struct SslContextDeleter {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct SslDeleter {
    void operator()(SSL* connection) const { SSL_free(connection); }
};
using SslContextPtr = std::unique_ptr<SSL_CTX, SslContextDeleter>;
using SslPtr = std::unique_ptr<SSL, SslDeleter>;

// The library starts itself once per process; this makes that explicit and thread-safe.
void InitialiseTlsOnce();

// The library's text for the earliest error queued on this thread (removing it).
std::string TlsErrorText();

// A client context that verifies the peer against the system's roots plus, when
// caBundlePath is not empty, the certificates of that PEM file. Null on failure.
SslContextPtr MakeVerifyingContext(const std::string& caBundlePath);

// Sends SNI and checks the certificate against host: as an IP address when it is an
// address literal (then without SNI), else as a DNS name. False on failure.
bool ExpectPeerName(SSL* connection, const std::string& host);

// The client handshake over a connected non-blocking socket, waiting at most timeout for
// the peer in all: Ok, TimedOut, Cancelled, or Failed (with the reason queued).
IoStatus TlsHandshake(SSL* connection, TcpSocket& socket, std::chrono::milliseconds timeout);

// An established TLS connection over socket as a byte stream; waits as SocketStream does.
class TlsStream : public ByteStream {
  public:
    TlsStream(SSL* connection, TcpSocket& socket) : connection_(connection), socket_(socket) {}
    IoResult WriteSome(const char* data, std::size_t size) override;
    IoResult ReadSome(char* buffer, std::size_t size) override;
    void LimitReadWait(std::chrono::milliseconds wait) override { readWait_ = wait; }

  private:
    SSL* connection_;
    TcpSocket& socket_;
    std::chrono::milliseconds readWait_ = IoTimeout();
};
