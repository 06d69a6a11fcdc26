#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "oauth/sha1.h"

// HMAC-SHA1 with a 64-byte block; keys longer than 64 bytes are hashed first.
Sha1Digest HmacSha1(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message);

// Base64 of the HMAC-SHA1 of message under key: always 28 characters. Note the order:
// message first, key second.
std::string HmacSha1Base64(std::string_view message, std::string_view key);
