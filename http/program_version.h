#pragma once

// The program's version, as it introduces itself to servers ("tilvane/<version>").
inline constexpr const char* kProgramVersion = "0.1.0";
inline constexpr const char* kProgramUserAgent = "tilvane/0.1.0";
