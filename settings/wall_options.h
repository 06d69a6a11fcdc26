#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// The wall's own choices, kept in txts/wall.txt beside the option file (which keeps its fifteen
// keys untouched). Every default is the program's behaviour without the file.
enum class WallOption : std::size_t {
    TileFit,      // tile_fit: 0 stretch into the cell, 1 fill around the focal point
    TileFilter,   // tile_filter: 0 nearest pixel, 1 area average
    RestoreWall,  // restore_wall: 1 puts the last wall back at start
    PauseUnseen,  // pause_unseen: 1 searches nothing while nobody can see the wall
    SimilarSkip,  // similar_skip: 1 queues no near-duplicate of a tile on the wall
    SkipWords,    // skip_words: posts whose text holds one of these words are skipped
};

struct WallOptionRow {
    WallOption key;
    std::string_view name;
    bool isText;
    std::int32_t defaultValue;
    std::int32_t low;
    std::int32_t high;
};

inline constexpr std::array<WallOptionRow, 6> kWallOptionTable{{
    {WallOption::TileFit, "tile_fit", false, 0, 0, 1},
    {WallOption::TileFilter, "tile_filter", false, 0, 0, 1},
    {WallOption::RestoreWall, "restore_wall", false, 0, 0, 1},
    {WallOption::PauseUnseen, "pause_unseen", false, 1, 0, 1},
    {WallOption::SimilarSkip, "similar_skip", false, 0, 0, 1},
    {WallOption::SkipWords, "skip_words", true, 0, 0, 0},
}};

inline constexpr const char* kWallOptionsPath = "./txts/wall.txt";

// Reads the file (missing or malformed lines leave the defaults); remembers path for saving.
void loadWallOptions(const std::filesystem::path& path);
// Replaces the file atomically with every key; false leaves the previous file as it was.
bool saveWallOptions();
// Back to the defaults with no file (tests).
void resetWallOptions();

std::int32_t wallOption(WallOption key);
bool wallOptionIsOn(WallOption key);
std::string wallOptionText(WallOption key);
void setWallOption(WallOption key, std::int32_t value);
void setWallOptionText(WallOption key, std::string text);
