#pragma once

// A one-thread HTTP server on 127.0.0.1 for download tests: answers every request with the
// reply its handler writes and records the request lines it saw.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testhttp {

struct Reply {
    // Written one after another, each with its own send call.
    std::vector<std::string> pieces;
    // Then keep the connection open, sending nothing, until the server stops.
    bool stallAfterwards = false;
    // Waited before each piece but the first.
    std::chrono::milliseconds pauseBetweenPieces{0};
};

inline Reply okReply(const std::string& body, const std::string& type = "image/jpeg") {
    return Reply{{"HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: " +
                      std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n",
                  body}};
}

// The reply of okReply(body), its body sent pieceSize bytes at a time with pause between.
inline Reply dribbledReply(const std::string& body, std::size_t pieceSize,
                           std::chrono::milliseconds pause) {
    Reply reply = okReply(body);
    reply.pieces.resize(1);
    for (std::size_t at = 0; at < body.size(); at += pieceSize) {
        reply.pieces.push_back(body.substr(at, pieceSize));
    }
    reply.pauseBetweenPieces = pause;
    return reply;
}

inline std::string asText(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

class Server {
  public:
    // handler gets the request target (the path with its query) and writes the reply.
    explicit Server(std::function<Reply(const std::string& target)> handler)
        : handler_(std::move(handler)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int yes = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 8);
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~Server() {
        stopping_ = true;
        thread_.join();
        ::close(listener_);
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    std::vector<std::string> targets() const {
        std::lock_guard<std::mutex> hold(mutex_);
        return targets_;
    }
    std::vector<std::string> userAgents() const {
        std::lock_guard<std::mutex> hold(mutex_);
        return userAgents_;
    }

  private:
    void serve() {
        while (!stopping_) {
            pollfd waiting{listener_, POLLIN, 0};
            if (::poll(&waiting, 1, 50) <= 0) {
                continue;
            }
            const int connection = ::accept(listener_, nullptr, nullptr);
            if (connection >= 0) {
                answer(connection);
                ::close(connection);
            }
        }
    }

    void answer(int connection) {
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
            if (n <= 0) {
                return;
            }
            request.append(buffer, static_cast<std::size_t>(n));
        }
        const std::size_t firstSpace = request.find(' ');
        const std::size_t secondSpace = request.find(' ', firstSpace + 1);
        const std::string target = request.substr(firstSpace + 1, secondSpace - firstSpace - 1);
        std::string agent;
        if (const std::size_t at = request.find("User-Agent: "); at != std::string::npos) {
            agent = request.substr(at + 12, request.find("\r\n", at) - at - 12);
        }
        {
            std::lock_guard<std::mutex> hold(mutex_);
            targets_.push_back(target);
            userAgents_.push_back(agent);
        }
        const Reply reply = handler_(target);
        for (std::size_t i = 0; i < reply.pieces.size() && !stopping_; ++i) {
            if (i > 0) {
                std::this_thread::sleep_for(reply.pauseBetweenPieces);
            }
            const std::string& piece = reply.pieces[i];
            ::send(connection, piece.data(), piece.size(), MSG_NOSIGNAL);
        }
        while (reply.stallAfterwards && !stopping_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    std::function<Reply(const std::string&)> handler_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> targets_;
    std::vector<std::string> userAgents_;
    std::thread thread_;
};

// A port on 127.0.0.1 that nothing listens on: bound, then closed again.
inline std::uint16_t closedPort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

}  // namespace testhttp
