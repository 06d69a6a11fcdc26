#include "settings/option_store.h"

#include <algorithm>
#include <array>

#include "settings/file_open.h"
#include "settings/file_replace.h"

namespace {

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
    return std::any_of(kOptionTable.begin(), kOptionTable.end(), [name](const OptionRow& row) {
        return row.name == name && row.type == OptionType::Text;
    });
}

// Half of the free screen space, truncated, never negative; 64-bit so any stored size is safe.
std::int32_t centredOrigin(std::int32_t screenExtent, std::int32_t windowExtent) {
    const std::int64_t origin = (std::int64_t{screenExtent} - windowExtent) / 2;
    return static_cast<std::int32_t>(std::max<std::int64_t>(origin, 0));
}

// What the file gave a row, or the row's default when it gave nothing or a value out of range.
std::int32_t loadedValue(const OptionRow& row, const KeyTarget& target, std::int32_t value) {
    return !target.found || value < row.low || value > row.high ? row.defaultValue : value;
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

std::int32_t optionValue(IntOptionKey key) {
    const OptionRow& row = optionRow(key);
    std::int32_t value = row.defaultValue;
    getOption(std::string(row.name), &value);
    return value;
}

bool optionIsOn(IntOptionKey key) {
    std::int32_t value = 0;
    return getOption(std::string(optionRow(key).name), &value) && value == 1;
}

std::string optionText(TextOptionKey key) {
    std::string text;
    getOption(std::string(optionRow(key).name), nullptr, &text);
    return text;
}

bool setOptionValue(IntOptionKey key, std::int32_t value) {
    return setOption(std::string(optionRow(key).name), value);
}

bool setOptionText(TextOptionKey key, std::string text) {
    return setOption(std::string(optionRow(key).name), std::nullopt, std::move(text));
}

void loadOptions(const std::filesystem::path& path, const OptionDefaults& defaults) {
    std::array<std::int32_t, kOptionTable.size()> ints{};
    std::array<std::string, kOptionTable.size()> texts{};
    std::array<KeyTarget, kOptionTable.size()> table{};
    for (const OptionRow& row : kOptionTable) {
        table[row.index].key = row.name;
        if (row.type == OptionType::Text) {
            table[row.index].textTarget = &texts[row.index];
        } else {
            table[row.index].intTarget = &ints[row.index];
        }
    }

    if (UniqueFile file = openFile(path, "r")) {
        while (readKeyValueLine(file.get(), table)) {
        }
    }

    for (const OptionRow& row : kOptionTable) {
        ints[row.index] = loadedValue(row, table[row.index], ints[row.index]);
    }
    const std::size_t x = OptionKey::WindowX.index;
    const std::size_t y = OptionKey::WindowY.index;
    if (!table[x].found) {
        ints[x] = centredOrigin(defaults.screenWidth, ints[OptionKey::WindowWidth.index]);
    }
    if (!table[y].found) {
        ints[y] = centredOrigin(defaults.screenHeight, ints[OptionKey::WindowHeight.index]);
    }

    std::vector<OptionEntry> entries;
    entries.reserve(kOptionTable.size());
    for (const OptionRow& row : kOptionTable) {
        OptionEntry entry{std::string(row.name), ints[row.index], std::nullopt};
        if (row.type == OptionType::Text) {
            entry.textValue = std::move(texts[row.index]);
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
