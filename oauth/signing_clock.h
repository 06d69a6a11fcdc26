#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Where signing takes its time and nonces from. Production uses the system clock and
// MakeNonce; tests pin both to check signatures against known values.
using SigningClock = std::function<std::int64_t()>;
using NonceSource = std::function<std::string()>;

void setSigningClock(SigningClock clock);
void setNonceSource(NonceSource source);
void resetSigningClockAndNonce();

// Seconds since 1970-01-01 00:00:00 UTC, from the current clock.
std::int64_t signingTimeNow();
// A nonce from the current source.
std::string signingNonce();
