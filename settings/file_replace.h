#pragma once

#include <filesystem>
#include <string_view>

// Replaces the file at path with text, written in text mode (so "\n" ends lines as the
// platform's text files do) to "<path>.tmp" beside it and renamed over it: a failed write
// or a crash leaves either the old file or the new one, never part of one. False when the
// text could not be written or renamed; the old file is then untouched.
bool replaceFileText(const std::filesystem::path& path, std::string_view text);
