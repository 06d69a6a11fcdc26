#include "oauth/base64.h"

std::string Base64EncodeDigest(const Sha1Digest* digest) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (digest == nullptr) {
        return {};
    }
    const Sha1Digest& bytes = *digest;
    std::string encoded;
    encoded.reserve(28);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group =
            (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        encoded.push_back(kAlphabet[(group >> 18) & 0x3F]);
        encoded.push_back(kAlphabet[(group >> 12) & 0x3F]);
        encoded.push_back(kAlphabet[(group >> 6) & 0x3F]);
        encoded.push_back(kAlphabet[group & 0x3F]);
    }
    // 20 bytes leave a final group of two: three characters and one "=".
    const std::uint32_t group =
        (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8);
    encoded.push_back(kAlphabet[(group >> 18) & 0x3F]);
    encoded.push_back(kAlphabet[(group >> 12) & 0x3F]);
    encoded.push_back(kAlphabet[(group >> 6) & 0x3F]);
    encoded.push_back('=');
    return encoded;
}
