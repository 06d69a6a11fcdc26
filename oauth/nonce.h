#pragma once

#include <string>

// 15 to 30 characters from letters, digits and "_", drawn uniformly from the operating
// system's cryptographic generator, so that requests in the same second never share one.
std::string MakeNonce();
