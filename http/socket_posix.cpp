#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>

#include "http/socket.h"

namespace {

// TLS writes go through the library's own send(), which would raise SIGPIPE on a
// connection the peer has reset; the failed write is handled as an error instead.
void IgnoreBrokenPipeOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
            std::signal(SIGPIPE, SIG_IGN);
        }
    });
}

int Fd(const TcpSocket& socket) {
    return static_cast<int>(socket.native());
}

bool SetBlocking(int fd, bool blocking) {
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0) {
        return false;
    }
    const int wanted = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return fcntl(fd, F_SETFL, wanted) == 0;
}

timeval TimeValue(std::chrono::milliseconds timeout) {
    timeval value{};
    value.tv_sec = static_cast<time_t>(timeout.count() / 1000);
    value.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
    return value;
}

bool SetIoTimeouts(int fd, std::chrono::milliseconds timeout) {
    const timeval value = TimeValue(timeout);
    return setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &value, sizeof value) == 0 &&
           setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &value, sizeof value) == 0;
}

bool ErrnoIsTimeout() {
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

IoResult FailureFromErrno() {
    return {ErrnoIsTimeout() ? IoStatus::TimedOut : IoStatus::Failed, 0};
}

}  // namespace

void TcpSocket::close() {
    if (valid()) {
        ::close(static_cast<int>(release()));
    }
}

std::optional<Ipv4Address> ResolveIpv4(const std::string& host) {
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
    IgnoreBrokenPipeOnce();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? TcpSocket{} : TcpSocket{static_cast<NativeSocket>(fd)};
}

ConnectStatus ConnectWithTimeout(TcpSocket& socket, Ipv4Address address, std::uint16_t port,
                                 std::chrono::milliseconds timeout) {
    const int fd = Fd(socket);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = address.networkOrder;
    if (!SetBlocking(fd, false)) {
        return ConnectStatus::Failed;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
        if (errno != EINPROGRESS) {
            return ConnectStatus::Failed;
        }
        pollfd waiting{fd, POLLOUT, 0};
        int ready;
        do {
            ready = ::poll(&waiting, 1, static_cast<int>(timeout.count()));
        } while (ready < 0 && errno == EINTR);
        if (ready == 0) {
            return ConnectStatus::TimedOut;
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (ready < 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            return ConnectStatus::Failed;
        }
    }
    if (!SetBlocking(fd, true) || !SetIoTimeouts(fd, timeout)) {
        return ConnectStatus::Failed;
    }
    return ConnectStatus::Connected;
}

bool SetReceiveTimeout(TcpSocket& socket, std::chrono::milliseconds timeout) {
    const timeval value = TimeValue(timeout);
    return setsockopt(Fd(socket), SOL_SOCKET, SO_RCVTIMEO, &value, sizeof value) == 0;
}

IoResult SendSome(TcpSocket& socket, const char* data, std::size_t size) {
    ssize_t sent;
    do {
        sent = ::send(Fd(socket), data, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        return FailureFromErrno();
    }
    return {IoStatus::Ok, static_cast<std::size_t>(sent)};
}

IoResult ReceiveSome(TcpSocket& socket, char* buffer, std::size_t size) {
    ssize_t received;
    do {
        received = ::recv(Fd(socket), buffer, size, 0);
    } while (received < 0 && errno == EINTR);
    if (received < 0) {
        return FailureFromErrno();
    }
    if (received == 0) {
        return {IoStatus::Closed, 0};
    }
    return {IoStatus::Ok, static_cast<std::size_t>(received)};
}

bool LastSocketCallTimedOut() {
    return ErrnoIsTimeout();
}

int LookupServicePort(const char* serviceName) {
    // getservbyname_r keeps concurrent lookups apart.
    servent entry{};
    servent* found = nullptr;
    char scratch[1024];
    if (!serviceName ||
        getservbyname_r(serviceName, "tcp", &entry, scratch, sizeof scratch, &found) != 0 ||
        !found) {
        return 0;
    }
    return ntohs(static_cast<std::uint16_t>(found->s_port));
}
