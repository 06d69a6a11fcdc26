// A reply read from a stream in pieces of any size, then split and its status read: the
// stream hands over exactly the reply, header lines hold no line ends, and the body is
// the tail of what arrived.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "http/byte_stream.h"
#include "http/http_response.h"

namespace {

// Delivers the reply in the scripted piece sizes, then ends in order or with an error.
class PieceStream : public ByteStream {
  public:
    PieceStream(std::string reply, std::deque<std::size_t> pieceSizes, IoStatus end)
        : reply_(std::move(reply)), pieceSizes_(std::move(pieceSizes)), end_(end) {}

    IoResult ReadSome(char* buffer, std::size_t size) override {
        if (at_ == reply_.size()) {
            return {end_, 0};
        }
        std::size_t piece = reply_.size() - at_;
        if (!pieceSizes_.empty()) {
            piece = std::max<std::size_t>(1, pieceSizes_.front());
            pieceSizes_.pop_front();
        }
        const std::size_t count = std::min({piece, size, reply_.size() - at_});
        std::memcpy(buffer, reply_.data() + at_, count);
        at_ += count;
        return {IoStatus::Ok, count};
    }
    IoResult WriteSome(const char*, std::size_t size) override { return {IoStatus::Ok, size}; }

  private:
    std::string reply_;
    std::deque<std::size_t> pieceSizes_;
    IoStatus end_;
    std::size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::deque<std::size_t> pieces(input.ConsumeIntegralInRange<std::size_t>(0, 16));
    for (std::size_t& piece : pieces) {
        piece = input.ConsumeIntegralInRange<std::size_t>(1, 2 * kReceiveChunkBytes);
    }
    const IoStatus end = input.ConsumeBool() ? IoStatus::Closed : IoStatus::Failed;
    const std::size_t maxBytes =
        input.ConsumeBool() ? kMaxReplyBytes : input.ConsumeIntegralInRange<std::size_t>(0, 4096);
    const std::string reply = input.ConsumeRemainingBytesAsString();

    PieceStream stream(reply, pieces, end);
    std::vector<char> raw;
    const auto deadline = IoClock::now() + std::chrono::hours(1);
    const ReplyStatus status = ReadReply(stream, raw, deadline, maxBytes);
    if (reply.size() > maxBytes) {
        FUZZ_CHECK(status == ReplyStatus::TooLarge);
        FUZZ_CHECK(raw.size() <= maxBytes);
        return 0;
    }
    FUZZ_CHECK(status == ReplyStatus::Complete);
    FUZZ_CHECK(std::string(raw.begin(), raw.end()) == reply);

    HttpResponse response;
    response.headerLines = {"stale"};
    ParseResponse(raw.data(), raw.data() + raw.size(), response);
    for (const std::string& line : response.headerLines) {
        FUZZ_CHECK(!line.empty() && line.find_first_of("\r\n") == std::string::npos);
    }
    FUZZ_CHECK(response.body.size() <= reply.size());
    FUZZ_CHECK(std::equal(response.body.begin(), response.body.end(),
                          reply.end() - static_cast<std::ptrdiff_t>(response.body.size())));

    // Nothing is invented: lines and body together are never longer than the reply.
    std::size_t kept = response.body.size();
    for (const std::string& line : response.headerLines) {
        kept += line.size();
    }
    FUZZ_CHECK(kept <= reply.size());

    if (const auto code = ReadStatusCode(response)) {
        FUZZ_CHECK(!response.headerLines.empty());
        FUZZ_CHECK(response.headerLines.front().starts_with("HTTP/"));
    }
    return 0;
}
