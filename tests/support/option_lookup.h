#pragma once

#include <cstdint>
#include <string>

#include "settings/option_store.h"

// getOption for an integer by its name in the file, with the value to return when the store
// lacks the key, so that a test can tell a missing key from a stored one.
inline std::int32_t optionOr(const std::string& name, std::int32_t fallback) {
    std::int32_t value = fallback;
    getOption(name, &value);
    return value;
}
