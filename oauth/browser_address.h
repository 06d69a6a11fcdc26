#pragma once

#include <optional>
#include <string>
#include <string_view>

// Addresses handed to the user's browser through the shell's command line.

// Appends value to address with only the bytes that never stand raw in an address (controls,
// space, quotes, angle brackets and the like, non-ASCII) percent-encoded, so a value cannot
// smuggle a second argument into the browser's command line.
void appendAddressSafe(std::string& address, std::string_view value);

// A post's page as the browser may be given it: an http or https address, made address-safe.
// None for any other scheme (a file, a program, a script) and for an empty page.
std::optional<std::string> openablePageAddress(std::string_view page);
