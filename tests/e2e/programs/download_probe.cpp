// Downloads one image address through the program's own download and decoding path and
// prints what came back, for the end-to-end tests:
//   download_probe URL [original]
// prints "bytes=N width=W height=H", "bytes=N no picture" or "failed".

#include <cstdio>
#include <cstring>
#include <string>

#include "settings/option_store.h"
#include "tests/support/designed_download.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: download_probe URL [original]\n");
        return 2;
    }
    loadOptions("./no-such-folder/tva_option.txt", {});
    if (argc > 2 && std::strcmp(argv[2], "original") == 0) {
        setOptionValue(OptionKey::OriginalImages, 1);
    }
    const DownloadResult result = downloadImage(argv[1]);
    if (!result.ok) {
        std::printf("failed\n");
    } else if (!result.picture) {
        std::printf("bytes=%zu no picture\n", result.bytes.size());
    } else {
        std::printf("bytes=%zu width=%d height=%d\n", result.bytes.size(),
                    static_cast<int>(result.picture->width),
                    static_cast<int>(result.picture->height));
    }
    std::fflush(stdout);
    return 0;
}
