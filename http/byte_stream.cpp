#include "http/byte_stream.h"

#include <array>

#include "http/io_cancel.h"

IoStatus WriteAll(ByteStream& stream, const char* data, std::size_t size) {
    while (size > 0) {
        const IoResult result = stream.WriteSome(data, size);
        if (result.status != IoStatus::Ok) {
            return result.status == IoStatus::Closed ? IoStatus::Failed : result.status;
        }
        if (result.count == 0 || result.count > size) {
            return IoStatus::Failed;
        }
        data += result.count;
        size -= result.count;
    }
    return IoStatus::Ok;
}

ReplyStatus ReadReply(ByteStream& stream, std::vector<char>& raw, IoClock::time_point deadline,
                      std::size_t maxBytes) {
    std::array<char, kReceiveChunkBytes> chunk;
    for (;;) {
        if (CancelRequested()) {
            return ReplyStatus::Cancelled;
        }
        const std::chrono::milliseconds wait = ReadWait(deadline);
        if (wait <= std::chrono::milliseconds::zero()) {
            return ReplyStatus::TooSlow;
        }
        stream.LimitReadWait(wait);
        const IoResult result = stream.ReadSome(chunk.data(), chunk.size());
        if (result.status == IoStatus::Cancelled) {
            return ReplyStatus::Cancelled;
        }
        if (result.status == IoStatus::TimedOut) {
            // A wait cut short by the deadline is the deadline's failure, not a stall.
            return IoClock::now() >= deadline ? ReplyStatus::TooSlow : ReplyStatus::TimedOut;
        }
        // A count past the chunk would be a broken stream: end rather than read past it.
        if (result.status != IoStatus::Ok || result.count == 0 || result.count > chunk.size()) {
            return ReplyStatus::Complete;
        }
        if (raw.size() > maxBytes || result.count > maxBytes - raw.size()) {
            return ReplyStatus::TooLarge;
        }
        raw.insert(raw.end(), chunk.data(), chunk.data() + result.count);
    }
}
