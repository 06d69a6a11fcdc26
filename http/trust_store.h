#pragma once

// The operating system's trusted root certificates, behind a seam: the "ROOT" system
// store through CryptoAPI in trust_store_win.cpp, OpenSSL's default locations in
// trust_store_posix.cpp.

#include <openssl/ssl.h>

// Adds the system's roots to the context's certificate store; false when that failed.
bool AddSystemTrustRoots(SSL_CTX* context);
