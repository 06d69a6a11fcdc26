#include "http/io_timeout.h"

#include <algorithm>
#include <atomic>

namespace {
std::atomic<std::chrono::milliseconds::rep> currentTimeout{kDefaultIoTimeout.count()};
std::atomic<std::chrono::milliseconds::rep> currentMaxDuration{kMaxExchangeDuration.count()};
}  // namespace

void SetIoTimeout(std::chrono::milliseconds timeout) {
    // A zero or negative time-out would make every wait fail (or never end).
    currentTimeout = timeout.count() > 0 ? timeout.count() : kDefaultIoTimeout.count();
}

std::chrono::milliseconds IoTimeout() {
    return std::chrono::milliseconds{currentTimeout.load()};
}

void SetMaxExchangeDuration(std::chrono::milliseconds duration) {
    currentMaxDuration = duration.count() > 0 ? duration.count() : kMaxExchangeDuration.count();
}

std::chrono::milliseconds MaxExchangeDuration() {
    return std::chrono::milliseconds{currentMaxDuration.load()};
}

std::chrono::milliseconds ReadWait(IoClock::time_point deadline) {
    const auto left = deadline - IoClock::now();
    if (left <= IoClock::duration::zero()) {
        return std::chrono::milliseconds::zero();
    }
    return std::min(IoTimeout(), std::chrono::ceil<std::chrono::milliseconds>(left));
}
