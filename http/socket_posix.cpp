#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <mutex>

#include "http/socket.h"
#include "http/socket_native.h"

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

}  // namespace

void StartSocketsOnce() {}

bool SetNonBlocking(const TcpSocket& socket) {
    const int flags = fcntl(Fd(socket), F_GETFL, 0);
    return flags >= 0 && fcntl(Fd(socket), F_SETFL, flags | O_NONBLOCK) == 0;
}

bool LastCallWouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

bool LastCallInterrupted() {
    return errno == EINTR;
}

bool ConnectInProgress() {
    return errno == EINPROGRESS;
}

int SendFlags() {
    return MSG_NOSIGNAL;
}

void TcpSocket::close() {
    if (valid()) {
        ::close(static_cast<int>(release()));
    }
}

TcpSocket CreateTcpSocket() {
    IgnoreBrokenPipeOnce();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? TcpSocket{} : TcpSocket{static_cast<NativeSocket>(fd)};
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
