#pragma once

#include <chrono>

// How long connecting, one send or one receive may take before the exchange fails.
inline constexpr std::chrono::milliseconds kDefaultIoTimeout{30000};

// Process-wide; tests shorten it so a stalled server ends an exchange quickly.
void SetIoTimeout(std::chrono::milliseconds timeout);
std::chrono::milliseconds IoTimeout();
