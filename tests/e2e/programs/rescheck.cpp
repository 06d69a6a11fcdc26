// rescheck <tilvane.exe>: reads the program's resources as a data file and prints one JSON
// line: the context menu's items (ids, texts, submenus) and whether each mark bitmap, read
// the way the program reads it, equals the mark of the documented layout.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

#include "app/mark_bitmaps.h"
#include "menu_json.h"
#include "mosaic/wall/marks.h"
#include "probe_json.h"
#include "resources/resource.h"

namespace {

std::string markJson(HMODULE module, int id, std::uint32_t frame, std::uint32_t key) {
    auto loaded = surfaceFromBitmapResource(module, id);
    bool equal = loaded && *loaded == makeMarkSurface(frame, key);
    return "\"" + std::to_string(id) + "\":{\"loaded\":" + (loaded ? "true" : "false") +
           ",\"width\":" + std::to_string(loaded ? loaded->width : 0) +
           ",\"height\":" + std::to_string(loaded ? loaded->height : 0) +
           ",\"layout\":" + (equal ? "true" : "false") + "}";
}

}  // namespace

int main() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv == nullptr || count < 2) {
        std::puts("{\"error\":\"usage: rescheck <tilvane.exe>\"}");
        return 2;
    }
    HMODULE module = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    LocalFree(argv);
    if (module == nullptr) {
        std::puts("{\"error\":\"cannot load the program\"}");
        return 1;
    }
    HMENU menu = LoadMenuW(module, MAKEINTRESOURCEW(IDR_CONTEXT_MENU));
    HMENU popup = menu != nullptr ? GetSubMenu(menu, 0) : nullptr;
    std::string json =
        "{\"menu\":" + (popup != nullptr ? menuItemsJson(popup) : std::string("null")) +
        ",\"marks\":{" + markJson(module, IDB_NEW_IMAGE_MARK, kNewImageFrame, kNewImageKey) + "," +
        markJson(module, IDB_PINNED_MARK, kPinnedFrame, kPinnedKey) + "," +
        markJson(module, IDB_SELECTION_MARK, kSelectionFrame, kSelectionKey) + "}}\n";
    std::fwrite(json.data(), 1, json.size(), stdout);
    if (menu != nullptr) {
        DestroyMenu(menu);
    }
    FreeLibrary(module);
    return 0;
}
