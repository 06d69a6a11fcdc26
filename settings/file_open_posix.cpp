#include <unistd.h>

#include "settings/file_open.h"

UniqueFile openFile(const std::filesystem::path& path, const char* mode) {
    return UniqueFile(std::fopen(path.c_str(), mode));
}

bool syncFileToDisk(std::FILE* file) {
    return ::fsync(fileno(file)) == 0;
}
