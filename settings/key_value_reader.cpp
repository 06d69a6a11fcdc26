#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "settings/option_store.h"
#include "settings/text_utilities.h"

namespace {

// A piece ends at its first NUL byte, as it would for any C string reader of the file.
void cutAtNul(std::string& piece) {
    if (const auto nul = piece.find('\0'); nul != std::string::npos) {
        piece.resize(nul);
    }
}

bool containsAnyKeyName(std::string_view text, std::span<const KeyTarget> table) {
    return std::any_of(table.begin(), table.end(), [text](const KeyTarget& row) {
        return !row.key.empty() && text.find(row.key) != std::string_view::npos;
    });
}

}  // namespace

namespace {

// Reads one piece of at most kMaxLinePieceBytes bytes, up to and including a line feed, from
// a source whose nextByte() yields a byte or EOF.
template <typename NextByte>
bool readPieceFrom(std::string& piece, NextByte nextByte) {
    piece.clear();
    while (piece.size() < kMaxLinePieceBytes) {
        const int next = nextByte();
        if (next == EOF) {
            break;
        }
        piece.push_back(static_cast<char>(next));
        if (next == '\n') {
            break;
        }
    }
    if (piece.empty()) {
        return false;
    }
    cutAtNul(piece);
    return true;
}

}  // namespace

bool readLinePiece(std::istream& in, std::string& piece) {
    return readPieceFrom(piece, [&in] {
        const auto next = in.get();
        return next == std::istream::traits_type::eof() ? EOF : static_cast<int>(next);
    });
}

bool readLinePiece(std::FILE* in, std::string& piece) {
    if (in == nullptr) {
        piece.clear();
        return false;
    }
    return readPieceFrom(piece, [in] { return std::fgetc(in); });
}

std::int32_t parseLeadingInt(std::string_view text) {
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    const LeadingNumber number = scanLeadingNumber(text, kLimit);
    const auto magnitude = static_cast<std::int64_t>(number.magnitude);
    const std::int64_t value = number.negative ? -magnitude : std::min(magnitude, kLimit - 1);
    return static_cast<std::int32_t>(value);
}

void applyKeyValueLine(std::string_view line, std::span<KeyTarget> table) {
    std::size_t searchFrom = 0;
    for (KeyTarget& row : table) {
        if (row.key.empty()) {
            continue;
        }
        const std::string pattern = std::string(row.key) + "=";
        const auto keyAt = line.find(pattern, searchFrom);
        if (keyAt == std::string_view::npos) {
            continue;
        }
        const std::size_t valueFrom = keyAt + pattern.size();
        // Later keys are only looked for to the right of this one.
        searchFrom = valueFrom;

        const std::string_view rest = line.substr(valueFrom);
        std::string_view value;
        if (const auto comma = rest.find(','); comma != std::string_view::npos) {
            value = rest.substr(0, comma);
        } else if (containsAnyKeyName(rest, table)) {
            continue;
        } else {
            value = rest;
            if (!value.empty() && value.back() == '\n') {
                value.remove_suffix(1);
            }
        }
        if (value.empty()) {
            continue;
        }
        row.truncated = value.size() > kMaxValueBytes;
        value = value.substr(0, kMaxValueBytes);

        if (row.intTarget != nullptr) {
            *row.intTarget = parseLeadingInt(value);
        }
        if (row.textTarget != nullptr) {
            *row.textTarget = std::string(value);
        }
        row.found = true;
    }
}

bool readKeyValueLine(std::istream& in, std::span<KeyTarget> table) {
    std::string piece;
    if (!readLinePiece(in, piece)) {
        return false;
    }
    applyKeyValueLine(piece, table);
    return true;
}

bool readKeyValueLine(std::FILE* in, std::span<KeyTarget> table) {
    std::string piece;
    if (!readLinePiece(in, piece)) {
        return false;
    }
    applyKeyValueLine(piece, table);
    return true;
}
