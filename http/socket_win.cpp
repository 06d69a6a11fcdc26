#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>
#include <cstring>
#include <mutex>

#include "http/socket.h"

namespace {

// Winsock counts its start-ups, so starting it here as well as in the shell is harmless;
// it stays started until the process ends.
void StartWinsockOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data{};
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

SOCKET Handle(const TcpSocket& socket) {
    return static_cast<SOCKET>(socket.native());
}

bool SetNonBlocking(SOCKET handle) {
    u_long nonBlocking = 1;
    return ioctlsocket(handle, FIONBIO, &nonBlocking) == 0;
}

IoResult FailureFromLastError() {
    return {WSAGetLastError() == WSAEWOULDBLOCK ? IoStatus::TimedOut : IoStatus::Failed, 0};
}

int ChunkSize(std::size_t size) {
    return size > INT_MAX ? INT_MAX : static_cast<int>(size);
}

}  // namespace

void TcpSocket::close() {
    if (valid()) {
        closesocket(static_cast<SOCKET>(release()));
    }
}

std::optional<Ipv4Address> ResolveIpv4(const std::string& host) {
    StartWinsockOnce();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) {
        return std::nullopt;
    }
    std::optional<Ipv4Address> result;
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addrlen >= sizeof(sockaddr_in)) {
            sockaddr_in address{};
            std::memcpy(&address, entry->ai_addr, sizeof address);
            result = Ipv4Address{address.sin_addr.s_addr};
            break;
        }
    }
    freeaddrinfo(found);
    return result;
}

TcpSocket CreateTcpSocket() {
    StartWinsockOnce();
    const SOCKET handle = ::socket(AF_INET, SOCK_STREAM, 0);
    return handle == INVALID_SOCKET ? TcpSocket{} : TcpSocket{static_cast<NativeSocket>(handle)};
}

ConnectStatus ConnectWithTimeout(TcpSocket& socket, Ipv4Address address, std::uint16_t port,
                                 std::chrono::milliseconds timeout) {
    const SOCKET handle = Handle(socket);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = address.networkOrder;
    if (!SetNonBlocking(handle)) {
        return ConnectStatus::Failed;
    }
    if (::connect(handle, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
        return ConnectStatus::Connected;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
        return ConnectStatus::Failed;
    }
    switch (WaitForSocket(socket, SocketWait::Write, timeout)) {
        case IoStatus::Ok:
            break;
        case IoStatus::TimedOut:
            return ConnectStatus::TimedOut;
        case IoStatus::Cancelled:
            return ConnectStatus::Cancelled;
        default:
            return ConnectStatus::Failed;
    }
    int error = 0;
    int length = sizeof error;
    if (getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 ||
        error != 0) {
        return ConnectStatus::Failed;
    }
    return ConnectStatus::Connected;
}

IoStatus PollSocket(TcpSocket& socket, SocketWait what, std::chrono::milliseconds wait) {
    const SOCKET handle = Handle(socket);
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(handle, &ready);
    FD_SET(handle, &failed);
    timeval limit{};
    limit.tv_sec = static_cast<long>(wait.count() / 1000);
    limit.tv_usec = static_cast<long>((wait.count() % 1000) * 1000);
    // A failed connect shows in the exception set, not the writable one.
    const int count = what == SocketWait::Read ? select(0, &ready, nullptr, &failed, &limit)
                                               : select(0, nullptr, &ready, &failed, &limit);
    if (count == SOCKET_ERROR) {
        return IoStatus::Failed;
    }
    // Ready or failed: the next call finds out which it was.
    return count == 0 ? IoStatus::TimedOut : IoStatus::Ok;
}

IoResult SendSome(TcpSocket& socket, const char* data, std::size_t size) {
    const int sent = ::send(Handle(socket), data, ChunkSize(size), 0);
    if (sent == SOCKET_ERROR) {
        return FailureFromLastError();
    }
    return {IoStatus::Ok, static_cast<std::size_t>(sent)};
}

IoResult ReceiveSome(TcpSocket& socket, char* buffer, std::size_t size) {
    const int received = ::recv(Handle(socket), buffer, ChunkSize(size), 0);
    if (received == SOCKET_ERROR) {
        return FailureFromLastError();
    }
    if (received == 0) {
        return {IoStatus::Closed, 0};
    }
    return {IoStatus::Ok, static_cast<std::size_t>(received)};
}

int LookupServicePort(const char* serviceName) {
    StartWinsockOnce();
    // Winsock keeps the looked-up entry per thread.
    const servent* found = serviceName ? getservbyname(serviceName, "tcp") : nullptr;
    return found ? ntohs(static_cast<u_short>(found->s_port)) : 0;
}
