#include "tests/support/hostile_jpeg.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "tests/support/temp_folder.h"

namespace testjpeg {

std::vector<std::uint8_t> emptyScans(int width, int height, int scans) {
    const TempFolder folder;
    const auto file = folder.path() / "empty_scans.jpg";
    const std::string command = "python3 '" + std::string(TILVANE_SOURCE_DIR) +
                                "/tools/fakeservice/hostile_jpeg.py' '" + file.string() +
                                "' --width " + std::to_string(width) + " --height " +
                                std::to_string(height) + " --scans " + std::to_string(scans);
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("hostile_jpeg.py failed: " + command);
    }
    const std::string bytes = readBytes(file);
    return {bytes.begin(), bytes.end()};
}

}  // namespace testjpeg
