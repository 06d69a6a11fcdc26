#pragma once

// The byte stream an exchange talks over: a socket, a TLS connection, or a memory
// buffer in tests. Sending a whole request and collecting a whole reply are written
// once, against this interface.

#include <chrono>
#include <cstddef>
#include <vector>

#include "http/io_result.h"
#include "http/io_timeout.h"

class ByteStream {
  public:
    virtual ~ByteStream() = default;
    // Writes at most size bytes; Ok with the count written (never more than size).
    virtual IoResult WriteSome(const char* data, std::size_t size) = 0;
    // Reads at most size bytes; Ok with the count read, or Closed at the end.
    virtual IoResult ReadSome(char* buffer, std::size_t size) = 0;
    // Bounds how long the following reads may wait for a byte (always more than zero);
    // a stream that never waits ignores it.
    virtual void LimitReadWait(std::chrono::milliseconds) {}
};

// Each read asks for at most this many bytes.
inline constexpr std::size_t kReceiveChunkBytes = 4096;
// A reply larger than this is refused.
inline constexpr std::size_t kMaxReplyBytes = 16 * 1024 * 1024;

// Writes every byte. Ok when all went out; otherwise the status that stopped it
// (a stream that claims to have written more than it was given counts as Failed).
IoStatus WriteAll(ByteStream& stream, const char* data, std::size_t size);

enum class ReplyStatus {
    Complete,   // the stream ended (in order or by an error); raw holds what arrived
    TooLarge,   // more than maxBytes arrived
    TimedOut,   // the stream stalled
    TooSlow,    // the deadline passed before the stream ended
    Cancelled,  // a cancel was requested (see io_cancel.h); raw holds what arrived
};

// Appends everything the stream delivers to raw until it ends. No read waits past the
// deadline, nor longer than the time-out.
ReplyStatus ReadReply(ByteStream& stream, std::vector<char>& raw, IoClock::time_point deadline,
                      std::size_t maxBytes = kMaxReplyBytes);
