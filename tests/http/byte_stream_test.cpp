#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "http/byte_stream.h"

namespace {

// A stream that hands out scripted results: reads deliver the given pieces (each cut
// to what was asked for), writes accept at most the given counts.
class ScriptedStream : public ByteStream {
  public:
    std::deque<std::string> pieces;
    IoStatus afterPieces = IoStatus::Closed;
    std::deque<IoResult> writeResults;
    std::string written;
    std::size_t largestReadRequest = 0;
    std::size_t overclaim = 0;  // a broken stream reports this many bytes more than it gave
    std::vector<std::chrono::milliseconds> readWaits;  // each bound set before a read
    std::size_t reads = 0;
    std::chrono::milliseconds readDuration{0};  // how long each read blocks

    IoResult ReadSome(char* buffer, std::size_t size) override {
        ++reads;
        std::this_thread::sleep_for(readDuration);
        largestReadRequest = std::max(largestReadRequest, size);
        if (pieces.empty()) {
            return {afterPieces, 0};
        }
        std::string& piece = pieces.front();
        const std::size_t count = std::min(size, piece.size());
        std::memcpy(buffer, piece.data(), count);
        piece.erase(0, count);
        if (piece.empty()) {
            pieces.pop_front();
        }
        return {IoStatus::Ok, count + overclaim};
    }

    IoResult WriteSome(const char* data, std::size_t size) override {
        if (writeResults.empty()) {
            return {IoStatus::Failed, 0};
        }
        IoResult result = writeResults.front();
        writeResults.pop_front();
        if (result.status == IoStatus::Ok) {
            written.append(data, std::min(size, result.count));
        }
        return result;
    }

    void LimitReadWait(std::chrono::milliseconds wait) override { readWaits.push_back(wait); }
};

IoClock::time_point FarAway() {
    return IoClock::now() + std::chrono::hours(1);
}

std::string Text(const std::vector<char>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(ReadReply, ReassemblesPiecesInOrderAndAsksForAtMostAChunk) {
    ScriptedStream stream;
    std::string expected;
    for (int i = 0; i < 50; ++i) {
        stream.pieces.push_back(std::string(1 + i % 3, static_cast<char>('a' + i % 26)));
        expected += stream.pieces.back();
    }
    stream.pieces.push_back(std::string(10000, 'z'));
    expected += std::string(10000, 'z');
    std::vector<char> raw;
    EXPECT_EQ(ReadReply(stream, raw, FarAway()), ReplyStatus::Complete);
    EXPECT_EQ(Text(raw), expected);
    EXPECT_EQ(stream.largestReadRequest, kReceiveChunkBytes);
}

TEST(ReadReply, AReadErrorEndsTheReplyWithWhatArrived) {
    ScriptedStream stream;
    stream.pieces = {"HTTP/1.0 200 OK\r\n\r\n", "partial"};
    stream.afterPieces = IoStatus::Failed;
    std::vector<char> raw;
    EXPECT_EQ(ReadReply(stream, raw, FarAway()), ReplyStatus::Complete);
    EXPECT_EQ(Text(raw), "HTTP/1.0 200 OK\r\n\r\npartial");
}

TEST(ReadReply, AStallIsReportedAsATimeOut) {
    ScriptedStream stream;
    stream.pieces = {"HTTP/1.0 200 OK\r\n"};
    stream.afterPieces = IoStatus::TimedOut;
    std::vector<char> raw;
    EXPECT_EQ(ReadReply(stream, raw, FarAway()), ReplyStatus::TimedOut);
}

TEST(ReadReply, NoReadWaitsPastTheDeadlineOrLongerThanTheTimeOut) {
    ScriptedStream distant;
    distant.pieces = {"HTTP/1.0 200 OK\r\n", "\r\nbody"};
    std::vector<char> raw;
    EXPECT_EQ(ReadReply(distant, raw, FarAway()), ReplyStatus::Complete);
    ASSERT_EQ(distant.readWaits.size(), distant.reads);
    for (const auto wait : distant.readWaits) {
        EXPECT_EQ(wait, IoTimeout());
    }

    ScriptedStream near;
    near.pieces = {"HTTP/1.0 200 OK\r\n", "\r\nbody"};
    const auto deadline = IoClock::now() + IoTimeout() / 4;
    raw.clear();
    EXPECT_EQ(ReadReply(near, raw, deadline), ReplyStatus::Complete);
    ASSERT_EQ(near.readWaits.size(), near.reads);
    for (const auto wait : near.readWaits) {
        EXPECT_GT(wait.count(), 0);
        EXPECT_LE(wait, IoTimeout() / 4);
    }
}

TEST(ReadReply, ADeadlineThatPassedFailsTheReply) {
    ScriptedStream late;
    late.pieces = {"HTTP/1.0 200 OK\r\n\r\nbody"};
    std::vector<char> raw;
    EXPECT_EQ(ReadReply(late, raw, IoClock::now() - std::chrono::milliseconds(1)),
              ReplyStatus::TooSlow);
    EXPECT_EQ(late.reads, 0u);

    // A read that timed out because the deadline cut its wait short is the deadline's failure.
    ScriptedStream cutShort;
    cutShort.pieces = {"HTTP/1.0 200 OK\r\n"};
    cutShort.afterPieces = IoStatus::TimedOut;
    cutShort.readDuration = std::chrono::milliseconds(20);
    raw.clear();
    EXPECT_EQ(ReadReply(cutShort, raw, IoClock::now() + std::chrono::milliseconds(30)),
              ReplyStatus::TooSlow);
}

TEST(ReadReply, RefusesOneByteMoreThanTheLimit) {
    ScriptedStream exact;
    exact.pieces = {std::string(6000, 'x'), std::string(4000, 'y')};
    std::vector<char> raw;
    EXPECT_EQ(ReadReply(exact, raw, FarAway(), 10000), ReplyStatus::Complete);
    EXPECT_EQ(raw.size(), 10000u);

    ScriptedStream over;
    over.pieces = {std::string(6000, 'x'), std::string(4001, 'y')};
    raw.clear();
    EXPECT_EQ(ReadReply(over, raw, FarAway(), 10000), ReplyStatus::TooLarge);
    EXPECT_LE(raw.size(), 10000u);
}

TEST(ReadReply, AStreamClaimingMoreThanTheChunkIsNotReadPast) {
    ScriptedStream stream;
    stream.pieces = {std::string(kReceiveChunkBytes, 'x')};
    stream.overclaim = 1;
    std::vector<char> raw;
    EXPECT_EQ(ReadReply(stream, raw, FarAway()), ReplyStatus::Complete);
    EXPECT_TRUE(raw.empty());
}

TEST(WriteAll, ContinuesAfterShortWrites) {
    ScriptedStream stream;
    stream.writeResults = {{IoStatus::Ok, 3}, {IoStatus::Ok, 1}, {IoStatus::Ok, 14}};
    const std::string request = "GET / HTTP/1.0\r\n\r\n";
    EXPECT_EQ(WriteAll(stream, request.data(), request.size()), IoStatus::Ok);
    EXPECT_EQ(stream.written, request);
}

TEST(WriteAll, FailsOnImpossibleCountsAndPassesTimeOutsOn) {
    const std::string data = "abcdef";
    struct Case {
        IoResult result;
        IoStatus expected;
    };
    for (const Case& c :
         {Case{{IoStatus::Ok, 0}, IoStatus::Failed}, Case{{IoStatus::Ok, 7}, IoStatus::Failed},
          Case{{IoStatus::Failed, 0}, IoStatus::Failed},
          Case{{IoStatus::Closed, 0}, IoStatus::Failed},
          Case{{IoStatus::TimedOut, 0}, IoStatus::TimedOut}}) {
        ScriptedStream stream;
        stream.writeResults = {{IoStatus::Ok, 2}, c.result};
        EXPECT_EQ(WriteAll(stream, data.data(), data.size()), c.expected);
    }
}

TEST(WriteAll, SendsNothingForNoBytes) {
    ScriptedStream stream;
    EXPECT_EQ(WriteAll(stream, "", 0), IoStatus::Ok);
    EXPECT_TRUE(stream.written.empty());
}

}  // namespace
