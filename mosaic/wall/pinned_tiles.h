#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>

#include "mosaic/wall/canvas.h"

// Paths under appState().workingRoot: "txts/kotei_jpgs.txt", "kotei_tiles/",
// "kotei_tiles/olds/".
std::filesystem::path pinnedListPath();
std::filesystem::path pinnedFolder();
std::filesystem::path retiredFolder();

// The name of a pinned tile's file in "kotei_tiles/": the part of the tile name after its last
// "/" when that is a plain, portable file name; otherwise "tile_<16 hex digits>.jpg" derived
// from the whole tile name, so the same name always maps to the same file.
std::string pinnedFileName(std::string_view tileName);

// Whether a tile name survives a round trip through the pinned-tile list line: not empty,
// not longer than a value may be, and without ",", a line end, NUL or "x=".
bool isListableTileName(std::string_view tileName);

// A tile's full-size address as its list line holds it: "%" and "," percent-encoded, so the
// value ends at the "," the line puts after it. None when it cannot be listed (empty, longer
// than a value may be, or holding a line end or NUL).
std::optional<std::string> listedOriginalUrl(std::string_view originalUrl);

// One line of the list: "name=%s,x=%d,y=%d", then for a tile whose source named its
// full-size address ",orig=<listedOriginalUrl>,", its author "author=<listed>," and its post
// page "page=<listed>," (each listed as listedOriginalUrl does), its focal point
// "focus=<x> <y>,", then a line feed.
std::string pinnedListLine(std::string_view name, std::int32_t column, std::int32_t row,
                           std::string_view originalUrl, const TileOrigin& origin = {});

// The command "このタイルを固定する": pins the grid tile named by the selection copy, or
// unpins it when it is pinned.
void togglePin();

// Unpins a pinned grid tile: it becomes ordinary, the list is rewritten without it and its
// file is retired to "kotei_tiles/olds/" unless another pinned tile shares it.
void unpinTile(Tile& tile);

// Writes bytes to path unless a file exists there. On failure (cannot create, short write)
// the partial file is removed and the shell shows the save error. Returns whether the file
// now exists with these bytes or existed already.
bool savePinnedFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// n for a retired file's name "_old_<n>_<file>": 0 to 9999.
int drawRetireNumber(std::mt19937& engine);

// Moves "kotei_tiles/<fileName>" to "kotei_tiles/olds/_old_<n>_<fileName>"; never replaces a
// file there. Returns whether it moved.
bool retirePinnedFile(std::string_view fileName);

// Replaces the list at path with one line (pinnedListLine) per pinned grid tile, in grid
// order, then one per dormant pin. The old list stays intact when writing fails.
bool writePinnedList(const std::filesystem::path& path);

// Drops every dormant pin of that name: the list is rewritten without it and its image file,
// if any, retired unless another pin names the same file. False when no dormant pin has the
// name or the list could not be written.
bool dropDormantPin(std::string_view name);

// Start-up: puts every listed tile whose image loads into its cell of the grid; lines whose
// image is missing or undecodable, or whose cell is off the grid, become dormant pins.
void loadPinnedTiles(const std::filesystem::path& path);
