#include "settings/wall_options.h"

#include <mutex>

#include "settings/file_open.h"
#include "settings/file_replace.h"
#include "settings/option_store.h"

namespace {

struct WallOptionStore {
    std::array<std::int32_t, kWallOptionTable.size()> values{};
    std::array<std::string, kWallOptionTable.size()> texts{};
    std::filesystem::path path;
    std::mutex lock;
};

std::size_t rowOf(WallOption key) {
    return static_cast<std::size_t>(key);
}

void setDefaults(WallOptionStore& store) {
    for (const WallOptionRow& row : kWallOptionTable) {
        store.values[rowOf(row.key)] = row.defaultValue;
        store.texts[rowOf(row.key)].clear();
    }
}

// Without a file every choice reads as its default.
WallOptionStore& theStore() {
    static WallOptionStore store;
    static const bool defaultsSet = (setDefaults(store), true);
    (void)defaultsSet;
    return store;
}

}  // namespace

void loadWallOptions(const std::filesystem::path& path) {
    std::array<std::int32_t, kWallOptionTable.size()> read{};
    std::array<std::string, kWallOptionTable.size()> texts{};
    std::array<KeyTarget, kWallOptionTable.size()> table{};
    for (const WallOptionRow& row : kWallOptionTable) {
        KeyTarget& target = table[rowOf(row.key)];
        target.key = row.name;
        if (row.isText) {
            target.textTarget = &texts[rowOf(row.key)];
        } else {
            target.intTarget = &read[rowOf(row.key)];
        }
    }
    if (UniqueFile file = openFile(path, "r")) {
        while (readKeyValueLine(file.get(), table)) {
        }
    }
    WallOptionStore& store = theStore();
    const std::lock_guard guard(store.lock);
    setDefaults(store);
    for (const WallOptionRow& row : kWallOptionTable) {
        const std::size_t at = rowOf(row.key);
        if (!table[at].found) {
            continue;
        }
        if (row.isText) {
            store.texts[at] = std::move(texts[at]);
        } else if (read[at] >= row.low && read[at] <= row.high) {
            store.values[at] = read[at];
        }
    }
    store.path = path;
}

bool saveWallOptions() {
    WallOptionStore& store = theStore();
    const std::lock_guard guard(store.lock);
    if (store.path.empty()) {
        return false;
    }
    std::string text;
    for (const WallOptionRow& row : kWallOptionTable) {
        const std::size_t at = rowOf(row.key);
        text += std::string(row.name) + "=" +
                (row.isText ? store.texts[at] : std::to_string(store.values[at])) + "\n";
    }
    return replaceFileText(store.path, text);
}

void resetWallOptions() {
    WallOptionStore& store = theStore();
    const std::lock_guard guard(store.lock);
    setDefaults(store);
    store.path.clear();
}

std::int32_t wallOption(WallOption key) {
    WallOptionStore& store = theStore();
    const std::lock_guard guard(store.lock);
    return store.values[rowOf(key)];
}

bool wallOptionIsOn(WallOption key) {
    return wallOption(key) == 1;
}

std::string wallOptionText(WallOption key) {
    WallOptionStore& store = theStore();
    const std::lock_guard guard(store.lock);
    return store.texts[rowOf(key)];
}

void setWallOption(WallOption key, std::int32_t value) {
    const WallOptionRow& row = kWallOptionTable[rowOf(key)];
    if (row.isText || value < row.low || value > row.high) {
        return;
    }
    WallOptionStore& store = theStore();
    const std::lock_guard guard(store.lock);
    store.values[rowOf(key)] = value;
}

void setWallOptionText(WallOption key, std::string text) {
    if (!kWallOptionTable[rowOf(key)].isText) {
        return;
    }
    WallOptionStore& store = theStore();
    const std::lock_guard guard(store.lock);
    // A carriage return would end the line for the reader as well.
    if (const auto end = text.find('\r'); end != std::string::npos) {
        text.resize(end);
    }
    store.texts[rowOf(key)] = storableText(std::move(text));
}
