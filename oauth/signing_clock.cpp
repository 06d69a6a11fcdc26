#include "oauth/signing_clock.h"

#include <chrono>
#include <mutex>

#include "oauth/nonce.h"

namespace {

std::mutex sourcesMutex;
SigningClock pinnedClock;
NonceSource pinnedNonceSource;

}  // namespace

void setSigningClock(SigningClock clock) {
    std::lock_guard lock(sourcesMutex);
    pinnedClock = std::move(clock);
}

void setNonceSource(NonceSource source) {
    std::lock_guard lock(sourcesMutex);
    pinnedNonceSource = std::move(source);
}

void resetSigningClockAndNonce() {
    std::lock_guard lock(sourcesMutex);
    pinnedClock = nullptr;
    pinnedNonceSource = nullptr;
}

std::int64_t signingTimeNow() {
    SigningClock clock;
    {
        std::lock_guard lock(sourcesMutex);
        clock = pinnedClock;
    }
    if (clock) {
        return clock();
    }
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch).count();
}

std::string signingNonce() {
    NonceSource source;
    {
        std::lock_guard lock(sourcesMutex);
        source = pinnedNonceSource;
    }
    return source ? source() : MakeNonce();
}
