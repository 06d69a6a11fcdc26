#include "oauth/hmac_sha1.h"

#include <algorithm>
#include <array>

#include "oauth/base64.h"

namespace {

constexpr std::size_t kBlockSize = 64;

Sha1Digest sha1Of(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second) {
    Sha1Context context;
    Sha1Reset(&context);
    Sha1Input(&context, first.data(), first.size());
    Sha1Input(&context, second.data(), second.size());
    Sha1Digest digest{};
    Sha1Result(&context, &digest);
    return digest;
}

std::array<std::uint8_t, kBlockSize> makePad(std::span<const std::uint8_t> key,
                                             std::uint8_t filler) {
    std::array<std::uint8_t, kBlockSize> pad;
    pad.fill(filler);
    for (std::size_t i = 0; i < key.size(); ++i) {
        pad[i] ^= key[i];
    }
    return pad;
}

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string_view upToTerminator(std::string_view text) {
    return text.substr(0, std::min(text.find('\0'), text.size()));
}

}  // namespace

Sha1Digest HmacSha1(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message) {
    Sha1Digest hashedKey{};
    if (key.size() > kBlockSize) {
        hashedKey = sha1Of(key, {});
        key = hashedKey;
    }
    const auto innerPad = makePad(key, 0x36);
    const Sha1Digest innerDigest = sha1Of(innerPad, message);
    const auto outerPad = makePad(key, 0x5C);
    return sha1Of(outerPad, innerDigest);
}

std::string HmacSha1Base64(std::string_view message, std::string_view key) {
    const Sha1Digest mac = HmacSha1(bytesOf(upToTerminator(key)), bytesOf(upToTerminator(message)));
    return Base64EncodeDigest(&mac);
}
