#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <istream>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/option_table.h"

// Limit on every value the option store and the key/value reader handle: the reader cuts a
// value at this many bytes, setOption cuts a text the same way, so nothing longer is ever
// stored or written back.
inline constexpr std::size_t kMaxValueBytes = 255;

// Lines are consumed in pieces of at most this many bytes (line feed included); the rest of a
// longer line is handled as a line of its own.
inline constexpr std::size_t kMaxLinePieceBytes = 1000;

// One row of a key table handed to readKeyValueLine.
struct KeyTarget {
    std::string_view key;
    std::int32_t* intTarget = nullptr;  // where a converted integer goes, or none
    std::string* textTarget = nullptr;  // where the value text goes, or none
    bool found = false;                 // set once the key received a value
    bool truncated = false;             // whether the value last received was cut at kMaxValueBytes
};

// Reads the next line piece (at most kMaxLinePieceBytes bytes, ending at and including a line
// feed when one comes first). A piece is cut at an embedded NUL byte. Returns false when
// nothing could be read.
bool readLinePiece(std::istream& in, std::string& piece);
bool readLinePiece(std::FILE* in, std::string& piece);

// Applies one line of "key=value" pairs separated by "," to the table.
void applyKeyValueLine(std::string_view line, std::span<KeyTarget> table);

// Reads one line piece and applies it; returns false when no line could be read (end of input,
// or no file: a null FILE*). The caller loops until it returns false.
bool readKeyValueLine(std::istream& in, std::span<KeyTarget> table);
bool readKeyValueLine(std::FILE* in, std::span<KeyTarget> table);

// A text as a key/value file can hold it: cut at its first line feed or NUL (the file holds
// one line per key) and at kMaxValueBytes.
std::string storableText(std::string text);

// Conversion of a value the way atoi reads it: optional leading white space, optional sign,
// decimal digits up to the first other character, no digits gives 0. Saturates at the 32-bit
// limits instead of overflowing.
std::int32_t parseLeadingInt(std::string_view text);

struct OptionEntry {
    std::string name;
    std::int32_t intValue = 0;
    std::optional<std::string> textValue;  // only kensaku_word has one
};

// The process-wide table of the fifteen options, in key-table order.
struct OptionStore {
    std::vector<OptionEntry> entries;
    std::filesystem::path path;  // where saveOptions writes
    std::mutex lock;             // held by every read, write, load and save
};

// What the defaults depend on: the primary screen, for the centred window position.
struct OptionDefaults {
    std::int32_t screenWidth = 0;
    std::int32_t screenHeight = 0;
};

// Finds the option; writes its integer and its text (empty when it has none) to the outputs
// that are given. Returns false and writes nothing for an unknown name.
bool getOption(const std::string& name, std::int32_t* intOut, std::string* textOut = nullptr);

// Replaces the option's text when one is given (cut at kMaxValueBytes and at the first line
// feed or NUL, so the file keeps one line per key), otherwise its integer. Returns false and
// changes nothing for an unknown name; never creates an entry.
bool setOption(const std::string& name, std::optional<std::int32_t> intIn,
               std::optional<std::string> textIn = std::nullopt);

// Typed access by key. A key the store lacks (nothing loaded yet) reads as its default from
// kOptionTable, and a change to it is dropped; the setters return whether the key was there.
std::int32_t optionValue(IntOptionKey key);
// For the switches whose only "on" value is 1: whether the store holds 1. A key the store lacks
// is off whatever its default, as a missing switch counts as not 1.
bool optionIsOn(IntOptionKey key);
std::string optionText(TextOptionKey key);
bool setOptionValue(IntOptionKey key, std::int32_t value);
bool setOptionText(TextOptionKey key, std::string text);

// Fills the store from the option file (a missing file reads as empty); keys the file lacks
// get their defaults, so afterwards all fifteen options are present in key-table order.
void loadOptions(const std::filesystem::path& path, const OptionDefaults& defaults);

// Writes all options back to the path given to loadOptions, one "key=value" line each in
// key-table order. The file is replaced atomically: on failure the previous file is left
// untouched and false is returned.
bool saveOptions();

// Releases all entries (shutdown; tests).
void clearOptions();
