#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The access token pair granted to the program, kept as the first two lines of a text
// file. Line ends (LF or CR LF) are not part of the values; lines after the second are
// never read.
inline constexpr const char* kCredentialFilePath = "./txts/key.txt";

// Each line may hold this many bytes before its line end. A longer line makes the whole
// file unusable rather than cutting a token into a value the service would refuse.
inline constexpr std::size_t kCredentialLineLimit = 255;

// The values of the last read, for the user-interface thread. A read sets loadedToken as
// soon as the first line is read, so a file of one line leaves that line in it.
extern std::string loadedToken;
extern std::string loadedTokenSecret;

// True when both lines were read. A missing file, fewer than two lines or an overlong
// line give false; the values already set by this read (or an earlier one) stay.
bool LoadCredentialFile(const std::string& path = kCredentialFilePath);

// Whether value can be a line of the file and read back unchanged: at most the line limit,
// no line end in it.
bool IsStorableCredential(std::string_view value);

// Stores the pair as two lines, each ended in text mode (CR LF on Windows). A file that
// already reads as a pair is appended to, so a granted pair is never overwritten; any other
// file (missing, empty, one line, an overlong line) is replaced whole, so that the next
// LoadCredentialFile reads exactly this pair. False when either value is not storable or
// nothing could be written; a replaced file then stays as it was.
bool StoreCredentialFile(const std::string& token, const std::string& secret,
                         const std::string& path = kCredentialFilePath);
