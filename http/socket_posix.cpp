#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
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

bool SetNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL, 0);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool WouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

IoResult FailureFromErrno() {
    return {WouldBlock() ? IoStatus::TimedOut : IoStatus::Failed, 0};
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
    if (!SetNonBlocking(fd)) {
        return ConnectStatus::Failed;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
        return ConnectStatus::Connected;
    }
    if (errno != EINPROGRESS) {
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
    socklen_t length = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        return ConnectStatus::Failed;
    }
    return ConnectStatus::Connected;
}

IoStatus PollSocket(TcpSocket& socket, SocketWait what, std::chrono::milliseconds wait) {
    pollfd waiting{Fd(socket), static_cast<short>(what == SocketWait::Read ? POLLIN : POLLOUT), 0};
    int ready;
    do {
        ready = ::poll(&waiting, 1, static_cast<int>(wait.count()));
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) {
        return IoStatus::Failed;
    }
    // An error or hang-up is reported as ready: the next call finds out which it was.
    return ready == 0 ? IoStatus::TimedOut : IoStatus::Ok;
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
