// Prints "<16 hex digits> <file>" for every picture file named on the command line, hashed as
// the wall hashes a downloaded picture; "- <file>" for a file that does not decode.
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "mosaic/raster/picture_decoder.h"
#include "mosaic/raster/picture_hash.h"

int main(int argc, char** argv) {
    for (int index = 1; index < argc; ++index) {
        std::ifstream file(argv[index], std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
        const std::optional<Surface> picture = decodePicture(bytes);
        const std::optional<std::uint64_t> hash = picture ? pictureHash(*picture) : std::nullopt;
        if (hash) {
            std::printf("%016" PRIx64 " %s\n", *hash, argv[index]);
        } else {
            std::printf("- %s\n", argv[index]);
        }
    }
    return 0;
}
