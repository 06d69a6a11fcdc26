#include <io.h>
#include <stdio.h>

#include <string>

#include "settings/file_open.h"

UniqueFile openFile(const std::filesystem::path& path, const char* mode) {
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return UniqueFile(_wfopen(path.c_str(), wideMode.c_str()));
}

bool syncFileToDisk(std::FILE* file) {
    // _commit is FlushFileBuffers on the file's handle.
    return _commit(_fileno(file)) == 0;
}
