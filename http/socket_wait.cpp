#include "http/io_cancel.h"
#include "http/io_timeout.h"
#include "http/socket.h"

IoStatus WaitForSocket(TcpSocket& socket, SocketWait what, std::chrono::milliseconds wait) {
    const IoClock::time_point until = IoClock::now() + wait;
    for (;;) {
        if (CancelRequested()) {
            return IoStatus::Cancelled;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - IoClock::now());
        if (left <= std::chrono::milliseconds::zero()) {
            return IoStatus::TimedOut;
        }
        const IoStatus status = PollSocket(socket, what, std::min(left, kCancelSlice));
        if (status != IoStatus::TimedOut) {
            return status;
        }
    }
}
