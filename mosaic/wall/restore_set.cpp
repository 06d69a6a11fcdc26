#include "mosaic/wall/restore_set.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "mosaic/wall/app_state.h"
#include "mosaic/wall/focus_text.h"
#include "mosaic/wall/image_file.h"
#include "mosaic/wall/parallel_work.h"
#include "mosaic/wall/tile_grid.h"
#include "oauth/percent_encoding.h"
#include "settings/file_open.h"
#include "settings/file_replace.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kIndexName = "kabe.txt";
constexpr std::string_view kGenerationKey = "generation=";
// Fifty lines of a few encoded addresses each stay far below this.
constexpr std::size_t kMaxIndexBytes = 1u << 20;
constexpr std::size_t kFieldCount = 8;

struct RestoreEntry {
    Cell cell;
    std::string name;
    std::string originalUrl;
    TileOrigin origin;
};

struct RestoreIndex {
    std::uint64_t generation = 0;
    std::vector<RestoreEntry> entries;
};

std::string cellFileName(Cell cell) {
    return std::to_string(cell.column) + "_" + std::to_string(cell.row);
}

bool isGridCell(Cell cell) {
    return cell.column >= 0 && cell.column < kGridColumns && cell.row >= 0 && cell.row < kGridRows;
}

std::size_t cellIndex(Cell cell) {
    return static_cast<std::size_t>(cell.row * kGridColumns + cell.column);
}

Cell cellOf(const Tile& tile) {
    const AppState& state = appState();
    return Cell{tile.rect.left / state.tileWidth, tile.rect.top / state.tileHeight};
}

template <typename Number>
std::optional<Number> parseNumber(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string_view::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

std::string indexLine(Cell cell, const Tile& tile) {
    const auto& focus = tile.origin.focus;
    const std::array<std::string, kFieldCount> fields{
        std::to_string(cell.column),
        std::to_string(cell.row),
        PercentEncode(tile.name),
        PercentEncode(tile.originalUrl),
        PercentEncode(tile.origin.author),
        PercentEncode(tile.origin.postPage),
        focus ? focusCoordinateText(focus->first) : std::string(),
        focus ? focusCoordinateText(focus->second) : std::string()};
    std::string line;
    for (const std::string& field : fields) {
        line.append(field).push_back('\t');
    }
    line.back() = '\n';
    return line;
}

std::optional<RestoreEntry> parseIndexLine(std::string_view line) {
    const std::vector<std::string_view> fields = splitFields(line);
    if (fields.size() != kFieldCount) {
        return std::nullopt;
    }
    const auto column = parseNumber<std::int32_t>(fields[0]);
    const auto row = parseNumber<std::int32_t>(fields[1]);
    if (!column || !row || !isGridCell(Cell{*column, *row})) {
        return std::nullopt;
    }
    RestoreEntry entry{Cell{*column, *row}, PercentDecode(fields[2]), PercentDecode(fields[3]),
                       TileOrigin{PercentDecode(fields[4]), PercentDecode(fields[5]),
                                  parseFocus(fields[6], fields[7])}};
    if (entry.name.empty() || !isAcceptableCanvasName(entry.name)) {
        return std::nullopt;
    }
    return entry;
}

std::optional<std::string> readIndexText(const fs::path& path) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    UniqueFile file = error || size > kMaxIndexBytes ? nullptr : openFile(path, "r");
    if (!file) {
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    // Text mode may read fewer bytes than the file holds (line ends).
    text.resize(std::fread(text.data(), 1, text.size(), file.get()));
    return text;
}

std::optional<RestoreIndex> readRestoreIndex(const fs::path& folder) {
    const auto text = readIndexText(folder / kIndexName);
    if (!text) {
        return std::nullopt;
    }
    std::string_view rest = *text;
    RestoreIndex index;
    bool first = true;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (first) {
            const auto generation =
                line.starts_with(kGenerationKey)
                    ? parseNumber<std::uint64_t>(line.substr(kGenerationKey.size()))
                    : std::nullopt;
            if (!generation) {
                return std::nullopt;
            }
            index.generation = *generation;
            first = false;
        } else if (auto entry = parseIndexLine(line)) {
            index.entries.push_back(std::move(*entry));
        }
    }
    return first ? std::nullopt : std::optional(std::move(index));
}

// The unpinned tiles worth keeping, at most one per cell, from the cell after the cursor on.
std::vector<const Tile*> tilesToKeep() {
    std::array<const Tile*, kGridCells> byCell{};
    if (const CanvasList* grid = gridTiles()) {
        for (const Tile& tile : *grid) {
            const Cell cell = cellOf(tile);
            if (tile.replaceable == 1 && !tile.withdrawn && !tile.imageBytes.empty() &&
                isGridCell(cell)) {
                byCell[cellIndex(cell)] = &tile;
            }
        }
    }
    const AppState& state = appState();
    const std::size_t cursor = isGridCell(Cell{state.cursorColumn, state.cursorRow})
                                   ? cellIndex(Cell{state.cursorColumn, state.cursorRow}) + 1
                                   : 0;
    std::vector<const Tile*> tiles;
    for (std::size_t step = 0; step < byCell.size(); ++step) {
        if (const Tile* tile = byCell[(cursor + step) % byCell.size()]) {
            tiles.push_back(tile);
        }
    }
    return tiles;
}

void removeOtherGenerations(const fs::path& folder, const std::string& keep) {
    std::error_code error;
    std::vector<fs::path> others;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const fs::path name = entry->path().filename();
        if (name != fs::path(kIndexName) && name != fs::path(keep)) {
            others.push_back(entry->path());
        }
    }
    for (const fs::path& other : others) {
        fs::remove_all(other, error);
    }
}

bool pinnedTileHolds(const CanvasList& grid, Cell cell) {
    const Rect rect = cellRect(cell);
    for (const Tile& tile : grid) {
        if (tile.replaceable == 0 && tileContains(tile, rect.left + 1, rect.top + 1)) {
            return true;
        }
    }
    return false;
}

}  // namespace

fs::path restoreFolder() {
    return appState().workingRoot / "kabe_tiles";
}

bool writeRestoreSet(const fs::path& folder) {
    const auto previous = readRestoreIndex(folder);
    const std::string generation = std::to_string(previous ? previous->generation + 1 : 1);
    const fs::path generationFolder = folder / generation;
    std::error_code error;
    // A folder of that name is a set cut short by a kill: no index names it.
    fs::remove_all(generationFolder, error);
    fs::create_directories(generationFolder, error);
    if (error) {
        return false;
    }
    std::string index = std::string(kGenerationKey) + generation + "\n";
    for (const Tile* tile : tilesToKeep()) {
        const Cell cell = cellOf(*tile);
        if (!writeImageFile(generationFolder / cellFileName(cell), tile->imageBytes)) {
            fs::remove_all(generationFolder, error);
            return false;
        }
        index += indexLine(cell, *tile);
    }
    if (!replaceFileText(folder / kIndexName, index)) {
        fs::remove_all(generationFolder, error);
        return false;
    }
    removeOtherGenerations(folder, generation);
    return true;
}

std::size_t loadRestoreSet(const fs::path& folder) {
    CanvasList* grid = gridTiles();
    auto index = grid != nullptr ? readRestoreIndex(folder) : std::nullopt;
    if (!index) {
        return 0;
    }
    struct Loading {
        RestoreEntry entry;
        std::optional<CellImage> image;
    };
    std::vector<Loading> loading;
    std::array<bool, kGridCells> taken{};
    for (RestoreEntry& entry : index->entries) {
        if (!taken[cellIndex(entry.cell)] && !pinnedTileHolds(*grid, entry.cell)) {
            taken[cellIndex(entry.cell)] = true;
            loading.push_back(Loading{std::move(entry), std::nullopt});
        }
    }
    AppState& state = appState();
    const fs::path generationFolder = folder / std::to_string(index->generation);
    runInParallel(loading.size(), [&](std::size_t at) {
        loading[at].image =
            loadCellImage(generationFolder / cellFileName(loading[at].entry.cell), state.tileWidth,
                          state.tileHeight, loading[at].entry.origin);
    });
    std::size_t placed = 0;
    for (Loading& item : loading) {
        Tile tile;
        tile.name = std::move(item.entry.name);
        tile.originalUrl = std::move(item.entry.originalUrl);
        tile.origin = std::move(item.entry.origin);
        tile.rect = cellRect(item.entry.cell);
        tile.replaceable = 1;
        if (item.image && giveCellImage(tile, std::move(*item.image))) {
            grid->push_back(std::move(tile));
            state.cursorColumn = item.entry.cell.column;
            state.cursorRow = item.entry.cell.row;
            ++placed;
        }
    }
    return placed;
}
