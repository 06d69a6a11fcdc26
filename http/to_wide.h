#pragma once

#include <string>
#include <string_view>

// A text in the system's ANSI code page as wide characters, for the wide Windows calls
// (a browser address, an image address, an edit control's text). Bytes the code page does
// not map become its default character; "" gives "". On Windows the code page is the
// system's; elsewhere texts are UTF-8, and a byte that starts no valid sequence becomes
// U+FFFD.
std::wstring ToWide(std::string_view ansi);
