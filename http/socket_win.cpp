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

bool SetBlocking(SOCKET handle, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return ioctlsocket(handle, FIONBIO, &nonBlocking) == 0;
}

bool SetIoTimeouts(SOCKET handle, std::chrono::milliseconds timeout) {
    const DWORD value = static_cast<DWORD>(timeout.count());
    const char* raw = reinterpret_cast<const char*>(&value);
    return setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, raw, sizeof value) == 0 &&
           setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, raw, sizeof value) == 0;
}

bool ErrorIsTimeout(int error) {
    return error == WSAETIMEDOUT || error == WSAEWOULDBLOCK;
}

IoResult FailureFromLastError() {
    return {ErrorIsTimeout(WSAGetLastError()) ? IoStatus::TimedOut : IoStatus::Failed, 0};
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
    if (!SetBlocking(handle, false)) {
        return ConnectStatus::Failed;
    }
    if (::connect(handle, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
        if (WSAGetLastError() != WSAEWOULDBLOCK) {
            return ConnectStatus::Failed;
        }
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(handle, &writable);
        FD_SET(handle, &failed);
        timeval limit{};
        limit.tv_sec = static_cast<long>(timeout.count() / 1000);
        limit.tv_usec = static_cast<long>((timeout.count() % 1000) * 1000);
        const int ready = select(0, nullptr, &writable, &failed, &limit);
        if (ready == 0) {
            return ConnectStatus::TimedOut;
        }
        int error = 0;
        int length = sizeof error;
        if (ready < 0 || FD_ISSET(handle, &failed) ||
            getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) !=
                0 ||
            error != 0) {
            return ConnectStatus::Failed;
        }
    }
    if (!SetBlocking(handle, true) || !SetIoTimeouts(handle, timeout)) {
        return ConnectStatus::Failed;
    }
    return ConnectStatus::Connected;
}

bool SetReceiveTimeout(TcpSocket& socket, std::chrono::milliseconds timeout) {
    const DWORD value = static_cast<DWORD>(timeout.count());
    return setsockopt(Handle(socket), SOL_SOCKET, SO_RCVTIMEO,
                      reinterpret_cast<const char*>(&value), sizeof value) == 0;
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

bool LastSocketCallTimedOut() {
    return ErrorIsTimeout(WSAGetLastError());
}

int LookupServicePort(const char* serviceName) {
    StartWinsockOnce();
    // Winsock keeps the looked-up entry per thread.
    const servent* found = serviceName ? getservbyname(serviceName, "tcp") : nullptr;
    return found ? ntohs(static_cast<u_short>(found->s_port)) : 0;
}
