#pragma once

#include <string>

// The PIN the user typed into the PIN dialog; the access-token request sends it as the
// verifier. Written and read on the user-interface thread during start-up.
extern std::string pinText;
