#include "settings/data_directories.h"

#include <system_error>

bool ensureDataDirectories(const std::filesystem::path& root) {
    bool allPresent = true;
    for (const char* folder : {"txts", "kotei_tiles", "kotei_tiles/olds"}) {
        const std::filesystem::path dir = root / folder;
        std::error_code error;
        std::filesystem::create_directories(dir, error);
        allPresent = std::filesystem::is_directory(dir, error) && allPresent;
    }
    return allPresent;
}
