#pragma once

// Texts between the ANSI code page the program keeps them in (files, the option store),
// UTF-16 for the wide Windows calls and UTF-8 for the service. On Windows the code page is
// the system's when reading ANSI and the thread's when writing it; elsewhere ANSI texts
// already are UTF-8.

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr int kMaxUtf16Units = 1000;
inline constexpr int kMaxUtf8Bytes = 1000;

// A text in the system's ANSI code page as wide characters, for the wide Windows calls
// (a browser address, an image address, an edit control's text). Bytes the code page does
// not map become its default character; "" gives "". Off Windows a byte that starts no
// valid UTF-8 sequence becomes U+FFFD.
std::wstring ToWide(std::string_view ansi);

// A text in the system's ANSI code page as UTF-8. Texts past the conversion's bounds
// (kMaxUtf16Units, kMaxUtf8Bytes) and texts that do not convert give "".
std::string ToUtf8(const std::string& ansi);

// Wide text in the thread's ANSI code page; characters the code page lacks become its
// default character. Off Windows: UTF-8, with '?' for a unit that is no character.
std::string ToThreadAnsi(std::wstring_view wide);
// The bytes ToThreadAnsi gives for wide.
std::size_t ThreadAnsiBytes(std::wstring_view wide);
