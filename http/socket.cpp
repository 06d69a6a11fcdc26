// The socket calls Winsock and BSD sockets share; what differs sits in socket_native.h.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <climits>
#include <cstring>

#include "http/socket.h"
#include "http/socket_native.h"

namespace {

using Handle = decltype(::socket(0, 0, 0));

Handle handleOf(const TcpSocket& socket) {
    return static_cast<Handle>(socket.native());
}

// Winsock counts bytes in an int; a shorter transfer is always allowed.
int chunkSize(std::size_t size) {
    return size > INT_MAX ? INT_MAX : static_cast<int>(size);
}

IoResult failureOfLastCall() {
    return {LastCallWouldBlock() ? IoStatus::TimedOut : IoStatus::Failed, 0};
}

// Repeats call() while a signal interrupts it; its result is a count, or negative on failure.
template <typename Call>
auto retryInterrupted(Call call) {
    auto result = call();
    while (result < 0 && LastCallInterrupted()) {
        result = call();
    }
    return result;
}

ConnectStatus connectStatusOf(IoStatus waited) {
    switch (waited) {
        case IoStatus::Ok:
            return ConnectStatus::Connected;
        case IoStatus::TimedOut:
            return ConnectStatus::TimedOut;
        case IoStatus::Cancelled:
            return ConnectStatus::Cancelled;
        default:
            return ConnectStatus::Failed;
    }
}

}  // namespace

std::optional<Ipv4Address> ResolveIpv4(const std::string& host) {
    StartSocketsOnce();
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

ConnectStatus ConnectWithTimeout(TcpSocket& socket, Ipv4Address address, std::uint16_t port,
                                 std::chrono::milliseconds timeout) {
    const Handle handle = handleOf(socket);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = address.networkOrder;
    if (!SetNonBlocking(socket)) {
        return ConnectStatus::Failed;
    }
    if (::connect(handle, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
        return ConnectStatus::Connected;
    }
    if (!ConnectInProgress()) {
        return ConnectStatus::Failed;
    }
    const ConnectStatus waited = connectStatusOf(WaitForSocket(socket, SocketWait::Write, timeout));
    if (waited != ConnectStatus::Connected) {
        return waited;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 ||
        error != 0) {
        return ConnectStatus::Failed;
    }
    return ConnectStatus::Connected;
}

IoResult SendSome(TcpSocket& socket, const char* data, std::size_t size) {
    const auto sent = retryInterrupted(
        [&] { return ::send(handleOf(socket), data, chunkSize(size), SendFlags()); });
    if (sent < 0) {
        return failureOfLastCall();
    }
    return {IoStatus::Ok, static_cast<std::size_t>(sent)};
}

IoResult ReceiveSome(TcpSocket& socket, char* buffer, std::size_t size) {
    const auto received =
        retryInterrupted([&] { return ::recv(handleOf(socket), buffer, chunkSize(size), 0); });
    if (received < 0) {
        return failureOfLastCall();
    }
    if (received == 0) {
        return {IoStatus::Closed, 0};
    }
    return {IoStatus::Ok, static_cast<std::size_t>(received)};
}
