#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <openssl/ssl.h>

class LocalServer;

// One accepted connection, plain or TLS, as the test's handler sees it.
class ServerConnection {
  public:
    ServerConnection(LocalServer& server, int fd, SSL* tls) : server_(server), fd_(fd), tls_(tls) {}

    // Reads a request head and the Content-Length bytes behind it, and records it all.
    std::string ReadRequest();
    bool Send(std::string_view bytes);
    // Sends in separate writes of at most pieceSize bytes each, pausing before each but the
    // first; gives up once the server is stopping.
    bool SendInPieces(std::string_view bytes, std::size_t pieceSize,
                      std::chrono::milliseconds pause = {});
    // Closes abortively: the peer sees a reset instead of an orderly end.
    void Reset();
    // Ends the connection in order (TLS: after a close notification); done after the handler.
    void Close();
    // Holds the connection open, sending nothing, until the server is stopped.
    void StallUntilStopped();
    // The server name the client sent (TLS only); empty when none.
    std::string ServerName() const;

  private:
    long ReadSome(char* buffer, std::size_t size);

    LocalServer& server_;
    int fd_;
    SSL* tls_;
};

// A server on 127.0.0.1 with an ephemeral port that runs handler for each connection
// it accepts, one after the other, on its own thread. With a TLS context it performs
// the server side of the handshake first; failed handshakes are counted, not handled.
class LocalServer {
  public:
    using Handler = std::function<void(ServerConnection&)>;

    explicit LocalServer(Handler handler, SSL_CTX* tls = nullptr);
    ~LocalServer();
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    int port() const { return port_; }
    // scheme://host:port followed by path.
    std::string Url(std::string_view scheme, std::string_view path,
                    std::string_view host = "127.0.0.1") const;
    std::vector<std::string> Requests() const;
    int FailedHandshakes() const { return failedHandshakes_; }
    int HandledConnections() const { return handledConnections_; }
    bool Stopping() const { return stopping_; }

  private:
    friend class ServerConnection;
    void Run();
    void Record(std::string request);

    Handler handler_;
    SSL_CTX* tls_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> failedHandshakes_{0};
    std::atomic<int> handledConnections_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// A port on 127.0.0.1 on which nothing listens (it was bound and released).
int UnusedLocalPort();

// "HTTP/1.0 <status line>\r\n...\r\n\r\n<body>" with a Content-Type header.
std::string HttpReply(std::string_view statusLine, std::string_view body);
