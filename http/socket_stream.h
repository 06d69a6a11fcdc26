#pragma once

#include <chrono>

#include "http/byte_stream.h"
#include "http/io_timeout.h"
#include "http/socket.h"

// A connected (non-blocking) socket as a byte stream: each read waits up to the read wait,
// each write up to the I/O time-out, and both give up at once when a cancel is requested.
class SocketStream : public ByteStream {
  public:
    explicit SocketStream(TcpSocket& socket) : socket_(socket) {}
    IoResult WriteSome(const char* data, std::size_t size) override;
    IoResult ReadSome(char* buffer, std::size_t size) override;
    void LimitReadWait(std::chrono::milliseconds wait) override { readWait_ = wait; }

  private:
    TcpSocket& socket_;
    std::chrono::milliseconds readWait_ = IoTimeout();
};

// Repeats attempt() while it reports that the socket was not ready, waiting for it in
// between, for at most wait in all.
template <typename Attempt>
IoResult RetryWhenReady(TcpSocket& socket, SocketWait what, std::chrono::milliseconds wait,
                        Attempt attempt) {
    const IoClock::time_point until = IoClock::now() + wait;
    for (;;) {
        const IoResult result = attempt();
        if (result.status != IoStatus::TimedOut) {
            return result;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - IoClock::now());
        const IoStatus ready = WaitForSocket(socket, what, left);
        if (ready != IoStatus::Ok) {
            return {ready, 0};
        }
    }
}
