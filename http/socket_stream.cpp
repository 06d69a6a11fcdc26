#include "http/socket_stream.h"

IoResult SocketStream::WriteSome(const char* data, std::size_t size) {
    return RetryWhenReady(socket_, SocketWait::Write, IoTimeout(),
                          [&] { return SendSome(socket_, data, size); });
}

IoResult SocketStream::ReadSome(char* buffer, std::size_t size) {
    return RetryWhenReady(socket_, SocketWait::Read, readWait_,
                          [&] { return ReceiveSome(socket_, buffer, size); });
}
