#pragma once

#include "http/byte_stream.h"
#include "http/socket.h"

// A connected socket as a byte stream.
class SocketStream : public ByteStream {
  public:
    explicit SocketStream(TcpSocket& socket) : socket_(socket) {}
    IoResult WriteSome(const char* data, std::size_t size) override {
        return SendSome(socket_, data, size);
    }
    IoResult ReadSome(char* buffer, std::size_t size) override {
        return ReceiveSome(socket_, buffer, size);
    }
    void LimitReadWait(std::chrono::milliseconds wait) override {
        SetReceiveTimeout(socket_, wait);
    }

  private:
    TcpSocket& socket_;
};
