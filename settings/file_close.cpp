#include "settings/file_open.h"

bool closeFile(UniqueFile file) {
    if (!file) {
        return false;
    }
    const bool flushed =
        std::fflush(file.get()) == 0 && std::ferror(file.get()) == 0 && syncFileToDisk(file.get());
    return std::fclose(file.release()) == 0 && flushed;
}
