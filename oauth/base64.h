#pragma once

#include <string>

#include "oauth/sha1.h"

// Standard-alphabet Base64 of a 20-byte digest: 28 characters ending in one "=".
// A missing digest gives the empty text.
std::string Base64EncodeDigest(const Sha1Digest* digest);
