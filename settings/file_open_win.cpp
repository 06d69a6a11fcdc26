#include <stdio.h>

#include <string>

#include "settings/file_open.h"

UniqueFile openFile(const std::filesystem::path& path, const char* mode) {
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return UniqueFile(_wfopen(path.c_str(), wideMode.c_str()));
}
