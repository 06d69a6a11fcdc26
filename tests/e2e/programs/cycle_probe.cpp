// Runs whole search cycles the way the program's search worker does, on the Windows code
// paths (signed search over verified TLS, WinINet download, OLE decoding), for the
// end-to-end tests:
//   cycle_probe [--workdir DIR] [--token T --token-secret S] [--cycles N] [--pin-count N]
// --pin-count lowers the replaceable cell count as that many pinnings would.
// In the working directory it reads ./txts/tva_option.txt and ./txts/service.txt, sizes
// the grid for the window of the options, and after every cycle moves the queue into the
// grid. Prints one JSON line: per cycle the queue length and tilesPending, then the grid.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "http/service_config.h"
#include "mosaic/search/search_worker.h"
#include "mosaic/search/search_worker_loop.h"
#include "mosaic/wall/app_state.h"
#include "mosaic/wall/compositing.h"
#include "mosaic/wall/tile_grid.h"
#include "oauth/consumer_registration.h"
#include "oauth/oauth_credentials.h"
#include "probe_json.h"
#include "settings/option_store.h"

namespace {

std::string tileJson(const Tile& tile) {
    const Canvas* image = imageCanvasOf(tile);
    const bool hasPicture = image != nullptr && tile.surface.has_value();
    std::string json = "{\"name\":" + jsonBytes(tile.name);
    json += ",\"rect\":[" + std::to_string(tile.rect.left) + "," + std::to_string(tile.rect.top) +
            "," + std::to_string(tile.rect.right) + "," + std::to_string(tile.rect.bottom) + "]";
    json += ",\"width\":" + std::to_string(hasPicture ? image->rect.width() : 0);
    json += ",\"height\":" + std::to_string(hasPicture ? image->rect.height() : 0);
    json += ",\"byte_size\":" + std::to_string(tile.byteSize);
    json += ",\"image_bytes\":" + std::to_string(tile.imageBytes.size());
    json += ",\"replaceable\":" + std::to_string(tile.replaceable);
    json += ",\"new_mark\":" + std::to_string(tile.newMark) + "}";
    return json;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<std::string> workdir;
    std::string token;
    std::string tokenSecret;
    int cycles = 1;
    int pinCount = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view flag = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "cycle_probe: %s needs a value\n", argv[i]);
            return 2;
        }
        if (flag == "--workdir") {
            workdir = argv[++i];
        } else if (flag == "--token") {
            token = argv[++i];
        } else if (flag == "--token-secret") {
            tokenSecret = argv[++i];
        } else if (flag == "--cycles") {
            cycles = std::atoi(argv[++i]);
        } else if (flag == "--pin-count") {
            pinCount = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr,
                         "usage: cycle_probe [--workdir DIR] [--token T --token-secret S] "
                         "[--cycles N] [--pin-count N]\n");
            return 2;
        }
    }
    if (workdir) {
        std::error_code error;
        std::filesystem::current_path(*workdir, error);
        if (error) {
            std::printf("{\"error\":%s}\n", jsonBytes("cannot enter " + *workdir).c_str());
            return 1;
        }
    }

    loadOptions("./txts/tva_option.txt", OptionDefaults{1920, 1080});
    const bool configLoaded = loadServiceConfig();
    publishCredentials(OAuthCredentials{consumerKey(), consumerSecret(), token, tokenSecret});
    createGroupCanvases();
    rescaleGrid(optionValue(OptionKey::WindowWidth), optionValue(OptionKey::WindowHeight));
    for (int pinned = 0; pinned < pinCount; ++pinned) {
        pinTileCount();
    }

    AppState& state = appState();
    std::string cycleReports;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        runSearchWorker(defaultSearchCycleServices());
        std::size_t queued = 0;
        {
            std::lock_guard<std::mutex> hold(state.appMutex);
            queued = queuedTiles() != nullptr ? queuedTiles()->size() : 0;
            placeQueuedTiles();
        }
        if (!cycleReports.empty()) {
            cycleReports += ',';
        }
        cycleReports += "{\"queued\":" + std::to_string(queued);
        cycleReports += ",\"tiles_pending\":" + std::to_string(state.tilesPending.load()) + "}";
    }

    std::string tiles;
    std::lock_guard<std::mutex> hold(state.appMutex);
    if (const CanvasList* grid = gridTiles()) {
        for (const Tile& tile : *grid) {
            if (!tiles.empty()) {
                tiles += ',';
            }
            tiles += tileJson(tile);
        }
    }
    std::printf(
        "{\"config_loaded\":%s,\"tile_width\":%d,\"tile_height\":%d,\"replaceable_count\":%d,"
        "\"cursor\":[%d,%d],\"cycles\":[%s],\"tiles\":[%s]}\n",
        configLoaded ? "true" : "false", static_cast<int>(state.tileWidth),
        static_cast<int>(state.tileHeight), static_cast<int>(state.replaceableCount),
        static_cast<int>(state.cursorColumn), static_cast<int>(state.cursorRow),
        cycleReports.c_str(), tiles.c_str());
    std::fflush(stdout);
    return 0;
}
