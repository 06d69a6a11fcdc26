#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// Percent-encoding over the unreserved set (letters, digits, "_", "~", ".", "-") with
// uppercase hexadecimal. Works byte by byte; multi-byte characters are not interpreted.
std::string PercentEncode(std::string_view text);

// "%" followed by two hex digits (either case) becomes that byte; everything else,
// including "+" and a malformed "%", is copied. A decoded zero byte ends the result.
std::string PercentDecode(std::string_view text);

// Each text passed through PercentEncode, joined with "&" (no leading or trailing "&").
std::string JoinEncoded(std::initializer_list<std::string_view> texts);
