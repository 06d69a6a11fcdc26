#include "oauth/nonce.h"

#include <openssl/rand.h>

#include <array>
#include <cstdint>
#include <random>
#include <string_view>

namespace {

constexpr std::string_view kNonceAlphabet =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
static_assert(kNonceAlphabet.size() == 63);

// Hands out cryptographically random bytes, refilled in batches.
class RandomBytes {
  public:
    std::uint8_t next() {
        if (used_ == pool_.size()) {
            refill();
        }
        return pool_[used_++];
    }

  private:
    void refill() {
        if (RAND_bytes(pool_.data(), static_cast<int>(pool_.size())) != 1) {
            // The OpenSSL generator could not be seeded; the platform's own device is the
            // next best cryptographic source.
            std::random_device device;
            for (auto& byte : pool_) {
                byte = static_cast<std::uint8_t>(device());
            }
        }
        used_ = 0;
    }

    std::array<std::uint8_t, 64> pool_{};
    std::size_t used_ = pool_.size();
};

}  // namespace

std::string MakeNonce() {
    RandomBytes random;
    // 256 is a multiple of 16, so the low four bits are uniform.
    const std::size_t length = 15 + (random.next() & 0x0F);
    // Bytes from 252 up would favour the first characters; they are drawn again.
    constexpr unsigned kUnbiasedLimit = 256 - 256 % kNonceAlphabet.size();
    std::string nonce;
    nonce.reserve(length);
    while (nonce.size() < length) {
        const unsigned byte = random.next();
        if (byte < kUnbiasedLimit) {
            nonce.push_back(kNonceAlphabet[byte % kNonceAlphabet.size()]);
        }
    }
    return nonce;
}
