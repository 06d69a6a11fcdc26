#pragma once

// The platform's IPv4 TCP sockets behind a small seam: the calls Winsock and BSD sockets
// share in socket.cpp, the rest in socket_win.cpp and socket_posix.cpp. Every call starts
// the platform's socket library when it needs one, so a plain main() can use the client.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "http/io_result.h"

using NativeSocket = std::uintptr_t;
inline constexpr NativeSocket kInvalidNativeSocket = ~NativeSocket{0};

// Owns one socket and closes it on destruction.
class TcpSocket {
  public:
    TcpSocket() = default;
    explicit TcpSocket(NativeSocket handle) : handle_(handle) {}
    TcpSocket(TcpSocket&& other) noexcept : handle_(other.release()) {}
    TcpSocket& operator=(TcpSocket&& other) noexcept {
        if (this != &other) {
            close();
            handle_ = other.release();
        }
        return *this;
    }
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;
    ~TcpSocket() { close(); }

    bool valid() const { return handle_ != kInvalidNativeSocket; }
    NativeSocket native() const { return handle_; }
    NativeSocket release() {
        const NativeSocket handle = handle_;
        handle_ = kInvalidNativeSocket;
        return handle;
    }
    void close();

  private:
    NativeSocket handle_ = kInvalidNativeSocket;
};

// An IPv4 address in network byte order.
struct Ipv4Address {
    std::uint32_t networkOrder = 0;
};

std::optional<Ipv4Address> ResolveIpv4(const std::string& host);

// An IPv4 stream socket, or an invalid one.
TcpSocket CreateTcpSocket();

enum class ConnectStatus { Connected, Failed, TimedOut, Cancelled };

// Connects within the time-out and leaves the socket non-blocking: every later wait goes
// through WaitForSocket, so it can be bounded and cancelled.
ConnectStatus ConnectWithTimeout(TcpSocket& socket, Ipv4Address address, std::uint16_t port,
                                 std::chrono::milliseconds timeout);

enum class SocketWait { Read, Write };

// One wait of at most wait until the socket can be read (or written): Ok when it can,
// TimedOut, or Failed.
IoStatus PollSocket(TcpSocket& socket, SocketWait what, std::chrono::milliseconds wait);

// PollSocket over the whole wait in slices of kCancelSlice, giving Cancelled as soon as a
// cancel is requested.
IoStatus WaitForSocket(TcpSocket& socket, SocketWait what, std::chrono::milliseconds wait);

// One attempt, without waiting: TimedOut when the socket could not take or give a byte now.
IoResult SendSome(TcpSocket& socket, const char* data, std::size_t size);
IoResult ReceiveSome(TcpSocket& socket, char* buffer, std::size_t size);

// The port of a TCP service in the system's service database, or 0.
int LookupServicePort(const char* serviceName);
