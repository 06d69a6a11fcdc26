#include "settings/option_store.h"

#include <algorithm>
#include <array>

#include "settings/file_open.h"
#include "settings/file_replace.h"

namespace {

struct OptionKey {
    const char* name;
    bool isText;
    std::int32_t defaultValue;
};

// Table order is the order of the entries in the store and of the lines in the file.
constexpr std::array<OptionKey, 15> kOptionKeys{{
    {"kotei_render", false, 1},
    {"window_wid", false, 1500},
    {"window_hei", false, 750},
    {"window_kotei", false, 0},
    {"window_zzahyo", false, 1},
    {"serch_byo", false, 25},
    {"serch_ken", false, 20},
    {"syokeikoku", false, 0},
    {"original", false, 0},
    {"kaku_kousin", false, 0},
    {"kaku_fukusuu", false, 0},
    {"kaku_tubuyaki", false, 0},
    {"kensaku_word", true, 0},
    {"window_x", false, 0},
    {"window_y", false, 0},
}};

constexpr std::size_t indexOf(std::string_view name) {
    for (std::size_t i = 0; i < kOptionKeys.size(); ++i) {
        if (kOptionKeys[i].name == name) {
            return i;
        }
    }
    return kOptionKeys.size();
}

constexpr std::size_t kWindowWid = indexOf("window_wid");
constexpr std::size_t kWindowHei = indexOf("window_hei");
constexpr std::size_t kSerchByo = indexOf("serch_byo");
constexpr std::size_t kSerchKen = indexOf("serch_ken");
constexpr std::size_t kWindowX = indexOf("window_x");
constexpr std::size_t kWindowY = indexOf("window_y");
static_assert(kWindowY < kOptionKeys.size(), "every named key is in the table");

OptionStore& theStore() {
    static OptionStore store;
    return store;
}

OptionEntry* findEntry(OptionStore& store, std::string_view name) {
    const auto found =
        std::find_if(store.entries.begin(), store.entries.end(),
                     [name](const OptionEntry& entry) { return entry.name == name; });
    return found == store.entries.end() ? nullptr : &*found;
}

bool isTextKey(std::string_view name) {
    const std::size_t index = indexOf(name);
    return index < kOptionKeys.size() && kOptionKeys[index].isText;
}

// Half of the free screen space, truncated, never negative; 64-bit so any stored size is safe.
std::int32_t centredOrigin(std::int32_t screenExtent, std::int32_t windowExtent) {
    const std::int64_t origin = (std::int64_t{screenExtent} - windowExtent) / 2;
    return static_cast<std::int32_t>(std::max<std::int64_t>(origin, 0));
}

std::int32_t repairedOrDefault(std::int32_t value, std::int32_t low, std::int32_t high,
                               std::int32_t fallback) {
    return value < low || value > high ? fallback : value;
}

// The file holds one line per key, so a stored text never contains a line feed or a NUL.
std::string storableText(std::string text) {
    if (const auto end = text.find_first_of(std::string_view("\n\0", 2));
        end != std::string::npos) {
        text.resize(end);
    }
    if (text.size() > kMaxValueBytes) {
        text.resize(kMaxValueBytes);
    }
    return text;
}

std::string formatLine(const OptionEntry& entry) {
    const std::string value =
        isTextKey(entry.name) ? entry.textValue.value_or("") : std::to_string(entry.intValue);
    return entry.name + "=" + value + "\n";
}

std::string formatEntries(const std::vector<OptionEntry>& entries) {
    std::string text;
    for (const OptionEntry& entry : entries) {
        text += formatLine(entry);
    }
    return text;
}

}  // namespace

bool getOption(const std::string& name, std::int32_t* intOut, std::string* textOut) {
    OptionStore& store = theStore();
    const std::lock_guard guard(store.lock);
    const OptionEntry* entry = findEntry(store, name);
    if (entry == nullptr) {
        return false;
    }
    if (intOut != nullptr) {
        *intOut = entry->intValue;
    }
    if (textOut != nullptr) {
        *textOut = entry->textValue.value_or("");
    }
    return true;
}

bool setOption(const std::string& name, std::optional<std::int32_t> intIn,
               std::optional<std::string> textIn) {
    OptionStore& store = theStore();
    const std::lock_guard guard(store.lock);
    OptionEntry* entry = findEntry(store, name);
    if (entry == nullptr) {
        return false;
    }
    if (textIn) {
        entry->textValue = storableText(std::move(*textIn));
    } else if (intIn) {
        entry->intValue = *intIn;
    }
    return true;
}

std::int32_t optionOr(const std::string& name, std::int32_t fallback) {
    std::int32_t value = fallback;
    getOption(name, &value);
    return value;
}

void loadOptions(const std::filesystem::path& path, const OptionDefaults& defaults) {
    std::array<std::int32_t, kOptionKeys.size()> ints{};
    std::array<std::string, kOptionKeys.size()> texts{};
    std::array<KeyTarget, kOptionKeys.size()> table{};
    for (std::size_t i = 0; i < kOptionKeys.size(); ++i) {
        table[i].key = kOptionKeys[i].name;
        if (kOptionKeys[i].isText) {
            table[i].textTarget = &texts[i];
        } else {
            table[i].intTarget = &ints[i];
        }
    }

    if (UniqueFile file = openFile(path, "r")) {
        while (readKeyValueLine(file.get(), table)) {
        }
    }

    // Range repair concerns values read from the file; the defaults are already in range.
    ints[kSerchByo] = repairedOrDefault(ints[kSerchByo], 15, 35, 25);
    ints[kSerchKen] = repairedOrDefault(ints[kSerchKen], 10, 30, 20);

    for (std::size_t i = 0; i < kOptionKeys.size(); ++i) {
        if (!table[i].found) {
            ints[i] = kOptionKeys[i].defaultValue;
        }
    }
    if (!table[kWindowX].found) {
        ints[kWindowX] = centredOrigin(defaults.screenWidth, ints[kWindowWid]);
    }
    if (!table[kWindowY].found) {
        ints[kWindowY] = centredOrigin(defaults.screenHeight, ints[kWindowHei]);
    }

    std::vector<OptionEntry> entries;
    entries.reserve(kOptionKeys.size());
    for (std::size_t i = 0; i < kOptionKeys.size(); ++i) {
        OptionEntry entry{kOptionKeys[i].name, kOptionKeys[i].isText ? 0 : ints[i], std::nullopt};
        if (kOptionKeys[i].isText) {
            entry.textValue = texts[i];
        }
        entries.push_back(std::move(entry));
    }

    OptionStore& store = theStore();
    const std::lock_guard guard(store.lock);
    store.entries = std::move(entries);
    store.path = path;
}

bool saveOptions() {
    OptionStore& store = theStore();
    const std::lock_guard guard(store.lock);
    if (store.path.empty()) {
        return false;
    }
    // Replaced as a whole, so a failed save never leaves the previous settings half
    // overwritten.
    return replaceFileText(store.path, formatEntries(store.entries));
}

void clearOptions() {
    OptionStore& store = theStore();
    const std::lock_guard guard(store.lock);
    store.entries.clear();
    store.path.clear();
}
