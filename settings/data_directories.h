#pragma once

#include <filesystem>

// Creates the folders the program keeps its files in, when absent: "txts", "kotei_tiles" and
// "kotei_tiles/olds" under root. Returns true when all three exist as folders afterwards.
bool ensureDataDirectories(const std::filesystem::path& root = ".");
