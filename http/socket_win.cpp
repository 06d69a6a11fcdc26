#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

#include "http/socket.h"
#include "http/socket_native.h"

namespace {

SOCKET Handle(const TcpSocket& socket) {
    return static_cast<SOCKET>(socket.native());
}

}  // namespace

// Winsock counts its start-ups, so starting it here as well as in the shell is harmless;
// it stays started until the process ends.
void StartSocketsOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data{};
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

bool SetNonBlocking(const TcpSocket& socket) {
    u_long nonBlocking = 1;
    return ioctlsocket(Handle(socket), FIONBIO, &nonBlocking) == 0;
}

bool LastCallWouldBlock() {
    return WSAGetLastError() == WSAEWOULDBLOCK;
}

// Winsock calls are not interrupted by signals.
bool LastCallInterrupted() {
    return false;
}

bool ConnectInProgress() {
    return WSAGetLastError() == WSAEWOULDBLOCK;
}

// Winsock raises no signal on a reset connection.
int SendFlags() {
    return 0;
}

void TcpSocket::close() {
    if (valid()) {
        closesocket(static_cast<SOCKET>(release()));
    }
}

TcpSocket CreateTcpSocket() {
    StartSocketsOnce();
    const SOCKET handle = ::socket(AF_INET, SOCK_STREAM, 0);
    return handle == INVALID_SOCKET ? TcpSocket{} : TcpSocket{static_cast<NativeSocket>(handle)};
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

int LookupServicePort(const char* serviceName) {
    StartSocketsOnce();
    // Winsock keeps the looked-up entry per thread.
    const servent* found = serviceName ? getservbyname(serviceName, "tcp") : nullptr;
    return found ? ntohs(static_cast<u_short>(found->s_port)) : 0;
}
