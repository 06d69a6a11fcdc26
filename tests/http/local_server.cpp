#include "local_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace {

int ListenOnLoopback(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        throw std::runtime_error("socket");
    }
    const int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("bind/listen");
    }
    port = ntohs(address.sin_port);
    return fd;
}

std::size_t ContentLength(std::string_view head) {
    constexpr std::string_view kName = "\r\nContent-Length: ";
    const auto at = head.find(kName);
    if (at == std::string_view::npos) {
        return 0;
    }
    return std::strtoul(std::string(head.substr(at + kName.size())).c_str(), nullptr, 10);
}

}  // namespace

long ServerConnection::ReadSome(char* buffer, std::size_t size) {
    if (tls_) {
        return SSL_read(tls_, buffer, static_cast<int>(size));
    }
    return ::recv(fd_, buffer, size, 0);
}

std::string ServerConnection::ReadRequest() {
    std::string request;
    char buffer[4096];
    std::size_t wanted = std::string::npos;
    while (wanted == std::string::npos || request.size() < wanted) {
        const long count = ReadSome(buffer, sizeof buffer);
        if (count <= 0) {
            break;
        }
        request.append(buffer, static_cast<std::size_t>(count));
        if (const auto headEnd = request.find("\r\n\r\n");
            wanted == std::string::npos && headEnd != std::string::npos) {
            wanted = headEnd + 4 + ContentLength(std::string_view(request).substr(0, headEnd + 2));
        }
    }
    server_.Record(request);
    return request;
}

bool ServerConnection::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const long sent = tls_ ? SSL_write(tls_, bytes.data(), static_cast<int>(bytes.size()))
                               : ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool ServerConnection::SendInPieces(std::string_view bytes, std::size_t pieceSize,
                                    std::chrono::milliseconds pause) {
    const int yes = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    for (bool first = true; !bytes.empty(); first = false) {
        if (!first && pause.count() > 0) {
            std::this_thread::sleep_for(pause);
        }
        if (server_.Stopping()) {
            return false;
        }
        const std::size_t count = std::min(pieceSize, bytes.size());
        if (!Send(bytes.substr(0, count))) {
            return false;
        }
        bytes.remove_prefix(count);
    }
    return true;
}

void ServerConnection::Reset() {
    const linger abortive{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    ::shutdown(fd_, SHUT_RD);
    ::close(fd_);
    fd_ = -1;
}

void ServerConnection::Close() {
    if (fd_ < 0) {
        return;
    }
    if (tls_) {
        SSL_shutdown(tls_);
    }
    ::close(fd_);
    fd_ = -1;
}

void ServerConnection::StallUntilStopped() {
    while (!server_.Stopping()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string ServerConnection::ServerName() const {
    const char* name = tls_ ? SSL_get_servername(tls_, TLSEXT_NAMETYPE_host_name) : nullptr;
    return name ? name : "";
}

LocalServer::LocalServer(Handler handler, SSL_CTX* tls) : handler_(std::move(handler)), tls_(tls) {
    listenFd_ = ListenOnLoopback(port_);
    thread_ = std::thread([this] { Run(); });
}

LocalServer::~LocalServer() {
    stopping_ = true;
    thread_.join();
    ::close(listenFd_);
}

std::string LocalServer::Url(std::string_view scheme, std::string_view path,
                             std::string_view host) const {
    return std::string(scheme) + "://" + std::string(host) + ":" + std::to_string(port_) +
           std::string(path);
}

std::vector<std::string> LocalServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void LocalServer::Record(std::string request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(std::move(request));
}

void LocalServer::Run() {
    while (!stopping_) {
        pollfd waiting{listenFd_, POLLIN, 0};
        if (::poll(&waiting, 1, 20) <= 0) {
            continue;
        }
        const int fd = ::accept(listenFd_, nullptr, nullptr);
        if (fd < 0) {
            continue;
        }
        SSL* connection = nullptr;
        if (tls_) {
            connection = SSL_new(tls_);
            SSL_set_fd(connection, fd);
            if (SSL_accept(connection) != 1) {
                ++failedHandshakes_;
                SSL_free(connection);
                ::close(fd);
                continue;
            }
        }
        ServerConnection served(*this, fd, connection);
        handler_(served);
        ++handledConnections_;
        served.Close();
        SSL_free(connection);
    }
}

int UnusedLocalPort() {
    int port = 0;
    ::close(ListenOnLoopback(port));
    return port;
}

std::string HttpReply(std::string_view statusLine, std::string_view body) {
    return "HTTP/1.0 " + std::string(statusLine) + "\r\nContent-Type: text/plain\r\n\r\n" +
           std::string(body);
}
