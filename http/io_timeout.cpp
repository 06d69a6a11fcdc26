#include "http/io_timeout.h"

#include <atomic>

namespace {
std::atomic<std::chrono::milliseconds::rep> currentTimeout{kDefaultIoTimeout.count()};
}

void SetIoTimeout(std::chrono::milliseconds timeout) {
    // A zero or negative time-out would make every wait fail (or never end).
    currentTimeout = timeout.count() > 0 ? timeout.count() : kDefaultIoTimeout.count();
}

std::chrono::milliseconds IoTimeout() {
    return std::chrono::milliseconds{currentTimeout.load()};
}
