#pragma once

#include <chrono>

using IoClock = std::chrono::steady_clock;

// How long connecting, one send or one receive may take before the exchange fails.
inline constexpr std::chrono::milliseconds kDefaultIoTimeout{30000};

// How long one whole exchange (or image download) may take, however steadily bytes
// keep arriving; past it the exchange fails like a stalled one.
inline constexpr std::chrono::milliseconds kMaxExchangeDuration{120000};

// Process-wide; tests shorten it so a stalled server ends an exchange quickly.
void SetIoTimeout(std::chrono::milliseconds timeout);
std::chrono::milliseconds IoTimeout();

// Process-wide like the time-out; tests shorten it so a dribbling server is ended quickly.
void SetMaxExchangeDuration(std::chrono::milliseconds duration);
std::chrono::milliseconds MaxExchangeDuration();

// The longest the next read may wait: the time-out, cut to what is left before deadline
// (rounded up to a whole millisecond); zero once the deadline has passed.
std::chrono::milliseconds ReadWait(IoClock::time_point deadline);
