#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The pictures and authors the user chose never to see again, kept in txts/hidden.txt, one
// entry a line: "url=<address>,hash=<16 hex digits>," for a picture (the hash may be empty)
// and "author=<name>,source=<source>," for an author, values percent-encoded. A line that
// reads as neither is kept as it is and written back, but hides nothing. Safe on any thread.

inline constexpr const char* kHiddenListName = "hidden.txt";
// A longer file is not read and never rewritten, so nothing in it is lost.
inline constexpr std::size_t kMaxHiddenListBytes = 1024 * 1024;

// appState().workingRoot / "txts" / "hidden.txt".
std::filesystem::path hiddenListPath();

// Reads the list at path and remembers path for every later change; a missing file is an
// empty list.
void loadHiddenList(const std::filesystem::path& path);
// Empty, with nowhere to write (tests).
void resetHiddenList();

// Adds an entry and rewrites the file atomically; false when the file could not be written
// (the entry still hides for this run). Adding an entry already listed changes nothing.
bool hidePicture(std::string_view address, std::optional<std::uint64_t> hash);
bool hideAuthor(std::string_view source, std::string_view author);

// The readable entries as the settings page lists them, in file order.
std::vector<std::string> hiddenEntryLabels();
// Takes back the index'th readable entry and rewrites the file; false for an index past them
// or a failed write (the entry is gone for this run either way).
bool unhideEntry(std::size_t index);

bool isHiddenAddress(std::string_view address);
bool isHiddenAuthor(std::string_view source, std::string_view author);
// A listed picture's hash lies within kSamePictureDistance of hash.
bool isHiddenLook(std::uint64_t hash);
// Whether any listed picture has a hash (a search then hashes what it downloads).
bool anyHiddenLook();
