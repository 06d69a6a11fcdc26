#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// std::fopen for a filesystem path, with the platform's own path characters, so folders whose
// names are outside the ANSI code page still open. Mode as for std::fopen ("r", "w": text mode).
UniqueFile openFile(const std::filesystem::path& path, const char* mode);

// Closes the file and reports whether everything written reached it: flushed, and handed to
// the disk (so a file renamed into place afterwards is whole even after a power cut).
bool closeFile(UniqueFile file);

// Platform seam: asks the system to write the file's data to the disk; true on success.
bool syncFileToDisk(std::FILE* file);
