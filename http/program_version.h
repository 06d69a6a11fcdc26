#pragma once

#include "tilvane_version.h"

// The program's version, as it introduces itself to servers ("tilvane/<version>").
inline constexpr const char* kProgramVersion = TILVANE_VERSION_TEXT;
inline constexpr const char* kProgramUserAgent = "tilvane/" TILVANE_VERSION_TEXT;
