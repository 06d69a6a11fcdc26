#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

using Sha1Digest = std::array<std::uint8_t, 20>;

// Status codes of Sha1Input and Sha1Result (and values of Sha1Context::error).
inline constexpr int kSha1Success = 0;
inline constexpr int kSha1MissingArgument = 1;
inline constexpr int kSha1InputTooLong = 1;
inline constexpr int kSha1InputAfterResult = 3;

struct Sha1Context {
    std::uint32_t hashState[5];
    std::uint32_t bitCountLow;
    std::uint32_t bitCountHigh;
    std::int16_t blockFill;
    std::uint8_t block[64];
    int finished;
    int error;
};

void Sha1Reset(Sha1Context* context);
int Sha1Input(Sha1Context* context, const std::uint8_t* bytes, std::size_t length);
// Pads and finishes on the first call; later calls write the same digest again.
int Sha1Result(Sha1Context* context, Sha1Digest* digest);
