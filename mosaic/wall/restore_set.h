#pragma once

#include <cstddef>
#include <filesystem>

// The last wall, kept for the next start in a folder of its own beside "kotei_tiles/": the
// index "kabe.txt" names a generation folder holding one file per cell, the bytes of that
// cell's unpinned tile as served, and lists for each its cell, name, full-size address, author,
// post page and focal point. A new set goes to a new generation folder and the index is then
// replaced whole, so a process killed at any point leaves the previous set or the new one.

// "kabe_tiles/" under appState().workingRoot.
std::filesystem::path restoreFolder();

// Writes the unpinned grid tiles, at most one per cell (the last in grid order), listed from
// the cell after the placement cursor onward so the cursor's cell comes last; then removes
// every other generation. False, the previous set untouched, when anything could not be
// written.
bool writeRestoreSet(const std::filesystem::path& folder);

// Start-up, after the pinned tiles: puts each listed tile whose file decodes into its cell as
// an ordinary tile without a new mark, and moves the placement cursor to the last cell filled.
// A missing or malformed index, a line or cell that does not read, a cell a pinned tile holds
// and a file that is missing or does not decode are passed over. Returns how many were placed.
std::size_t loadRestoreSet(const std::filesystem::path& folder);
