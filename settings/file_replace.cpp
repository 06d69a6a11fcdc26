#include "settings/file_replace.h"

#include <cstdio>
#include <system_error>

#include "settings/file_open.h"

bool replaceFileText(const std::filesystem::path& path, std::string_view text) {
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    std::error_code error;
    UniqueFile file = openFile(temporary, "w");
    if (!file) {
        return false;
    }
    const bool written =
        text.empty() || std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    if (!closeFile(std::move(file)) || !written) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}
