#include "mosaic/wall/pinned_tiles.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "mosaic/wall/app_state.h"
#include "mosaic/wall/focus_text.h"
#include "mosaic/wall/image_file.h"
#include "mosaic/wall/parallel_work.h"
#include "mosaic/wall/selection.h"
#include "mosaic/wall/shell_hooks.h"
#include "mosaic/wall/tile_grid.h"
#include "oauth/percent_encoding.h"
#include "settings/file_open.h"
#include "settings/file_replace.h"
#include "settings/option_store.h"
#include "settings/text_utilities.h"

namespace {

constexpr int kRetireAttempts = 10;

bool isReservedDeviceName(std::string_view fileName) {
    // Windows reserves these names whatever extension follows, and ignores trailing spaces
    // before the extension.
    std::string_view stem = fileName.substr(0, fileName.find('.'));
    while (!stem.empty() && stem.back() == ' ') {
        stem.remove_suffix(1);
    }
    std::string upper;
    for (const char c : stem) {
        upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL" || upper == "CONIN$" ||
        upper == "CONOUT$") {
        return true;
    }
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
           isAsciiDigit(upper[3]);
}

// A name that stays inside its folder and that every platform can store. Bytes outside
// printable ASCII are refused too: their meaning depends on the code page, and in some code
// pages a trail byte reads as a path separator.
bool isPortableFileName(std::string_view fileName) {
    if (fileName.empty() || fileName.size() > kMaxCanvasNameBytes) {
        return false;
    }
    constexpr std::string_view kForbidden = "\\/:*?\"<>|";
    for (const char c : fileName) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || kForbidden.find(c) != std::string_view::npos) {
            return false;
        }
    }
    if (fileName.back() == '.' || fileName.back() == ' ') {
        return false;  // also covers "." and ".."
    }
    return !isReservedDeviceName(fileName);
}

std::uint64_t fnv1a64(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::string hashedFileName(std::string_view tileName) {
    std::array<char, 17> hex{};
    std::snprintf(hex.data(), hex.size(), "%016llx",
                  static_cast<unsigned long long>(fnv1a64(tileName)));
    return "tile_" + std::string(hex.data()) + ".jpg";
}

bool fileExists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// Another pin (in the grid, other than unpinned, or dormant) that keeps its image in the same
// file.
bool fileSharedWithOtherPin(const Tile* unpinned, const std::string& fileName) {
    if (const CanvasList* grid = gridTiles()) {
        for (const Tile& tile : *grid) {
            if (&tile != unpinned && tile.replaceable == 0 &&
                pinnedFileName(tile.name) == fileName) {
                return true;
            }
        }
    }
    const auto& dormant = appState().dormantPins;
    return std::any_of(dormant.begin(), dormant.end(),
                       [&](const DormantPin& pin) { return pinnedFileName(pin.name) == fileName; });
}

std::size_t forgetDormantPins(std::string_view name) {
    auto& dormant = appState().dormantPins;
    return std::erase_if(dormant, [&](const DormantPin& pin) { return pin.name == name; });
}

void pin(Tile& tile) {
    if (!isListableTileName(tile.name) ||
        (!tile.originalUrl.empty() && !listedOriginalUrl(tile.originalUrl))) {
        // Its list line would read back as another name or another cell.
        showPinnedSaveError();
        return;
    }
    tile.replaceable = 0;
    pinTileCount();
    savePinnedFile(pinnedFolder() / pinnedFileName(tile.name), tile.imageBytes);
    forgetDormantPins(tile.name);
    writePinnedList(pinnedListPath());
}

}  // namespace

void unpinTile(Tile& tile) {
    tile.replaceable = 1;
    const std::string fileName = pinnedFileName(tile.name);
    // The list goes first: killed in between, an image stays without its line, which is
    // harmless, rather than a line without its image.
    writePinnedList(pinnedListPath());
    if (!fileSharedWithOtherPin(&tile, fileName)) {
        retirePinnedFile(fileName);
    }
    unpinTileCount();
}

bool dropDormantPin(std::string_view name) {
    if (forgetDormantPins(name) == 0) {
        return false;
    }
    // As an unpin: the list first, then the image, unless another pin still names its file.
    if (!writePinnedList(pinnedListPath())) {
        return false;
    }
    const std::string fileName = pinnedFileName(name);
    if (!fileSharedWithOtherPin(nullptr, fileName)) {
        retirePinnedFile(fileName);
    }
    return true;
}

namespace {

// A line of the list on its way into the grid: its image, decoded at the cell's size.
struct LoadingPin {
    DormantPin entry;
    bool onGrid = false;
    std::filesystem::path file;
    std::optional<CellImage> image;
};

bool addPinnedTile(LoadingPin& pin, CanvasList& grid) {
    if (!pin.image) {
        return false;
    }
    Tile tile;
    tile.name = pin.entry.name;
    tile.originalUrl = pin.entry.originalUrl;
    tile.origin = pin.entry.origin;
    tile.rect = cellRect(Cell{pin.entry.column, pin.entry.row});
    tile.replaceable = 0;
    if (!giveCellImage(tile, std::move(*pin.image))) {
        return false;
    }
    grid.push_back(std::move(tile));
    pinTileCount();
    return true;
}

// The value of the field key ("key=...") that a list line names after its three keys, or
// empty. Every value the program writes has its "," encoded, so the line splits at each ","
// into its fields, and an address that holds "key=" is never taken for the field. A value the
// reader cut would read as another one, and one decoding to a line end could not be written
// back: the tile then goes without it.
std::string listedFieldOf(std::string_view line, std::string_view key) {
    if (!line.empty() && line.back() == '\n') {
        line.remove_suffix(1);
    }
    while (!line.empty()) {
        const std::size_t comma = std::min(line.find(','), line.size());
        const std::string_view field = line.substr(0, comma);
        line.remove_prefix(std::min(comma + 1, line.size()));
        if (field.size() > key.size() && field.starts_with(key) && field[key.size()] == '=') {
            const std::string_view listed = field.substr(key.size() + 1);
            std::string value = PercentDecode(listed);
            return listed.size() <= kMaxValueBytes && listedOriginalUrl(value) ? value
                                                                               : std::string();
        }
    }
    return {};
}

// The focal point a line names as "focus=<x> <y>"; none for a line without one or with any
// other value.
std::optional<std::pair<float, float>> listedFocusOf(std::string_view line) {
    const std::string value = listedFieldOf(line, "focus");
    const std::size_t space = value.find(' ');
    if (space == std::string::npos) {
        return std::nullopt;
    }
    return parseFocus(std::string_view(value).substr(0, space),
                      std::string_view(value).substr(space + 1));
}

}  // namespace

std::filesystem::path pinnedListPath() {
    return appState().workingRoot / "txts" / "kotei_jpgs.txt";
}

std::filesystem::path pinnedFolder() {
    return appState().workingRoot / "kotei_tiles";
}

std::filesystem::path retiredFolder() {
    return pinnedFolder() / "olds";
}

std::string pinnedFileName(std::string_view tileName) {
    const auto slash = tileName.rfind('/');
    if (slash != std::string_view::npos) {
        const std::string_view last = tileName.substr(slash + 1);
        if (isPortableFileName(last)) {
            return std::string(last);
        }
    }
    return hashedFileName(tileName);
}

std::optional<std::string> listedOriginalUrl(std::string_view originalUrl) {
    std::string listed;
    for (const char c : originalUrl) {
        if (c == '\r' || c == '\n' || c == '\0') {
            return std::nullopt;
        }
        if (c == '%') {
            listed += "%25";
        } else if (c == ',') {
            listed += "%2C";
        } else {
            listed.push_back(c);
        }
    }
    if (listed.empty() || listed.size() > kMaxValueBytes) {
        return std::nullopt;
    }
    return listed;
}

std::string pinnedListLine(std::string_view name, std::int32_t column, std::int32_t row,
                           std::string_view originalUrl, const TileOrigin& origin) {
    std::string line =
        "name=" + std::string(name) + ",x=" + std::to_string(column) + ",y=" + std::to_string(row);
    // The reader takes a last value without a "," only when no key name occurs in it, which
    // an address rarely avoids; the closing "," ends it instead.
    if (const auto listed = listedOriginalUrl(originalUrl); !originalUrl.empty() && listed) {
        line += ",orig=" + *listed + ",";
    }
    const auto field = [&line](std::string_view key, std::string_view value) {
        if (!line.ends_with(',')) {
            line += ',';
        }
        line.append(key).append("=").append(value).append(",");
    };
    for (const auto& [key, value] :
         {std::pair<std::string_view, std::string_view>{"author", origin.author},
          std::pair<std::string_view, std::string_view>{"page", origin.postPage}}) {
        if (const auto listed = listedOriginalUrl(value); !value.empty() && listed) {
            field(key, *listed);
        }
    }
    if (origin.focus) {
        field("focus", focusCoordinateText(origin.focus->first) + " " +
                           focusCoordinateText(origin.focus->second));
    }
    return line + "\n";
}

bool isListableTileName(std::string_view tileName) {
    if (tileName.empty() || tileName.size() > kMaxValueBytes) {
        return false;
    }
    if (tileName.find_first_of(std::string_view(",\r\n\0", 4)) != std::string_view::npos) {
        return false;
    }
    // The reader looks for "x=" from the start of the name's value onward, so an "x=" in the
    // name would be taken for the column; "y=" is looked for only after the column's value.
    return tileName.find("x=") == std::string_view::npos;
}

void togglePin() {
    const Canvas* copy = selectedTile();
    CanvasList* grid = gridTiles();
    if (copy == nullptr || grid == nullptr) {
        return;
    }
    Tile* tile = findCanvas(*grid, copy->name);
    if (tile == nullptr) {
        return;
    }
    if (tile->replaceable == 1) {
        pin(*tile);
    } else {
        unpinTile(*tile);
    }
}

bool savePinnedFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    if (fileExists(path)) {
        return true;
    }
    // Written beside its name and renamed into place once whole: the list names the file
    // right after this, and a process killed in mid-write must not leave a cut image under
    // that name (an existing file is never written again).
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    if (!writeImageFile(temporary, bytes)) {
        showPinnedSaveError();
        return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        showPinnedSaveError();
        return false;
    }
    return true;
}

int drawRetireNumber(std::mt19937& engine) {
    std::uniform_int_distribution<int> draw(0, 32767);
    return draw(engine) * 10000 / 32768;
}

bool retirePinnedFile(std::string_view fileName) {
    if (!isPortableFileName(fileName)) {
        return false;
    }
    const int number = drawRetireNumber(appState().random);
    const std::filesystem::path target =
        retiredFolder() / ("_old_" + std::to_string(number) + "_" + std::string(fileName));
    const std::filesystem::path source = pinnedFolder() / std::string(fileName);
    for (int attempt = 0; attempt < kRetireAttempts; ++attempt) {
        // Renaming would replace an existing file; an older retired image is kept instead.
        if (fileExists(target) || !fileExists(source)) {
            continue;
        }
        std::error_code error;
        std::filesystem::rename(source, target, error);
        if (!error) {
            return true;
        }
    }
    return false;
}

bool writePinnedList(const std::filesystem::path& path) {
    std::string text;
    const AppState& state = appState();
    if (const CanvasList* grid = gridTiles()) {
        for (const Tile& tile : *grid) {
            if (tile.replaceable == 0) {
                text +=
                    pinnedListLine(tile.name, tile.rect.left / state.tileWidth,
                                   tile.rect.top / state.tileHeight, tile.originalUrl, tile.origin);
            }
        }
    }
    for (const DormantPin& pin : state.dormantPins) {
        text += pinnedListLine(pin.name, pin.column, pin.row, pin.originalUrl, pin.origin);
    }

    // Replaced as a whole, so a failed write keeps the old list.
    return replaceFileText(path, text);
}

void loadPinnedTiles(const std::filesystem::path& path) {
    UniqueFile file = openFile(path, "r");
    if (!file) {
        return;
    }
    CanvasList* grid = gridTiles();
    AppState& state = appState();
    std::vector<LoadingPin> pins;
    for (;;) {
        std::string name;
        std::int32_t column = 0;
        std::int32_t row = 0;
        std::string line;
        if (!readLinePiece(file.get(), line)) {
            break;
        }
        std::array<KeyTarget, 3> table{KeyTarget{"name", nullptr, &name},
                                       KeyTarget{"x", &column, nullptr},
                                       KeyTarget{"y", &row, nullptr}};
        applyKeyValueLine(line, table);
        if (!std::all_of(table.begin(), table.end(), [](const KeyTarget& t) { return t.found; })) {
            continue;
        }
        // A name cut by the reader would be another address than the one pinned. The line is
        // dropped: not shown, not pinned, not written back. The program never writes such a
        // line itself, since names longer than kMaxValueBytes are never pinned.
        if (table[0].truncated) {
            continue;
        }
        LoadingPin pin;
        pin.entry = DormantPin{name, column, row, listedFieldOf(line, "orig"),
                               TileOrigin{listedFieldOf(line, "author"),
                                          listedFieldOf(line, "page"), listedFocusOf(line)}};
        pin.onGrid =
            grid != nullptr && column >= 0 && column < kGridColumns && row >= 0 && row < kGridRows;
        pin.file = pinnedFolder() / pinnedFileName(name);
        pins.push_back(std::move(pin));
    }

    // The images are read and decoded on every core; the tiles then enter the grid in the
    // list's order, as if loaded one by one.
    const std::int32_t cellWidth = state.tileWidth;
    const std::int32_t cellHeight = state.tileHeight;
    runInParallel(pins.size(), [&](std::size_t index) {
        if (pins[index].onGrid) {
            pins[index].image =
                loadCellImage(pins[index].file, cellWidth, cellHeight, pins[index].entry.origin);
        }
    });
    for (LoadingPin& pin : pins) {
        if (!pin.onGrid || !addPinnedTile(pin, *grid)) {
            state.dormantPins.push_back(std::move(pin.entry));
        }
    }
}
