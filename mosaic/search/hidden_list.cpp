#include "mosaic/search/hidden_list.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <mutex>
#include <utility>

#include "mosaic/raster/picture_hash.h"
#include "mosaic/wall/app_state.h"
#include "oauth/percent_encoding.h"
#include "settings/file_replace.h"

namespace {

struct HiddenEntry {
    enum class Kind { Picture, Author, Unreadable } kind = Kind::Unreadable;
    std::string first;   // Picture: address. Author: name. Unreadable: the line as read.
    std::string second;  // Author: source.
    std::optional<std::uint64_t> hash;
};

struct HiddenList {
    std::mutex lock;
    std::vector<HiddenEntry> entries;
    std::filesystem::path path;
    bool writable = false;
};

HiddenList& hiddenList() {
    static HiddenList list;
    return list;
}

std::optional<std::uint64_t> parseHash(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.size() != 16 || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// "k1=v1,k2=v2," exactly, with these two keys in this order; the values as written.
std::optional<std::pair<std::string_view, std::string_view>> twoValues(std::string_view line,
                                                                       std::string_view k1,
                                                                       std::string_view k2) {
    std::string_view values[2];
    const std::string_view keys[2] = {k1, k2};
    for (int index = 0; index < 2; ++index) {
        const auto comma = line.find(',');
        if (!line.starts_with(keys[index]) || comma == std::string_view::npos ||
            line.substr(keys[index].size(), 1) != "=") {
            return std::nullopt;
        }
        values[index] = line.substr(keys[index].size() + 1, comma - keys[index].size() - 1);
        line.remove_prefix(comma + 1);
    }
    if (!line.empty()) {
        return std::nullopt;
    }
    return std::pair{values[0], values[1]};
}

HiddenEntry parseLine(std::string_view line) {
    using Kind = HiddenEntry::Kind;
    if (const auto picture = twoValues(line, "url", "hash"); picture && !picture->first.empty()) {
        const auto hash = parseHash(picture->second);
        if (hash || picture->second.empty()) {
            return {Kind::Picture, PercentDecode(picture->first), {}, hash};
        }
    }
    if (const auto author = twoValues(line, "author", "source"); author && !author->first.empty()) {
        return {Kind::Author, PercentDecode(author->first), PercentDecode(author->second), {}};
    }
    return {Kind::Unreadable, std::string(line), {}, {}};
}

std::string hashText(std::optional<std::uint64_t> hash) {
    if (!hash) {
        return {};
    }
    std::string text(16, '0');
    for (int digit = 15; digit >= 0; --digit) {
        text[static_cast<std::size_t>(digit)] =
            "0123456789abcdef"[*hash >> (4 * (15 - digit)) & 0xF];
    }
    return text;
}

std::string lineOf(const HiddenEntry& entry) {
    switch (entry.kind) {
        case HiddenEntry::Kind::Picture:
            return "url=" + PercentEncode(entry.first) + ",hash=" + hashText(entry.hash) + ",\n";
        case HiddenEntry::Kind::Author:
            return "author=" + PercentEncode(entry.first) +
                   ",source=" + PercentEncode(entry.second) + ",\n";
        case HiddenEntry::Kind::Unreadable:
            break;
    }
    return entry.first + "\n";
}

// Called with the list's lock held.
bool writeList(const HiddenList& list) {
    if (!list.writable) {
        return false;
    }
    std::string text;
    for (const HiddenEntry& entry : list.entries) {
        text += lineOf(entry);
    }
    return replaceFileText(list.path, text);
}

bool addEntry(HiddenEntry entry) {
    HiddenList& list = hiddenList();
    std::lock_guard hold(list.lock);
    const bool listed = std::any_of(list.entries.begin(), list.entries.end(), [&](const auto& e) {
        return e.kind == entry.kind && e.first == entry.first && e.second == entry.second;
    });
    if (listed) {
        return true;
    }
    list.entries.push_back(std::move(entry));
    return writeList(list);
}

template <typename Test>
bool anyEntry(Test test) {
    HiddenList& list = hiddenList();
    std::lock_guard hold(list.lock);
    return std::any_of(list.entries.begin(), list.entries.end(), test);
}

}  // namespace

std::filesystem::path hiddenListPath() {
    return appState().workingRoot / "txts" / kHiddenListName;
}

void loadHiddenList(const std::filesystem::path& path) {
    HiddenList& list = hiddenList();
    std::lock_guard hold(list.lock);
    list.entries.clear();
    list.path = path;
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        list.writable = !error;
        return;
    }
    const auto size = std::filesystem::file_size(path, error);
    list.writable = !error && size <= kMaxHiddenListBytes;
    if (!list.writable) {
        return;
    }
    std::ifstream file(path, std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            list.entries.push_back(parseLine(line));
        }
    }
}

void resetHiddenList() {
    HiddenList& list = hiddenList();
    std::lock_guard hold(list.lock);
    list.entries.clear();
    list.path.clear();
    list.writable = false;
}

bool hidePicture(std::string_view address, std::optional<std::uint64_t> hash) {
    return addEntry({HiddenEntry::Kind::Picture, std::string(address), {}, hash});
}

bool hideAuthor(std::string_view source, std::string_view author) {
    return addEntry({HiddenEntry::Kind::Author, std::string(author), std::string(source), {}});
}

std::vector<std::string> hiddenEntryLabels() {
    HiddenList& list = hiddenList();
    std::lock_guard hold(list.lock);
    std::vector<std::string> labels;
    for (const HiddenEntry& entry : list.entries) {
        if (entry.kind == HiddenEntry::Kind::Picture) {
            labels.push_back(entry.first);
        } else if (entry.kind == HiddenEntry::Kind::Author) {
            labels.push_back(entry.first + " (" + entry.second + ")");
        }
    }
    return labels;
}

bool unhideEntry(std::size_t index) {
    HiddenList& list = hiddenList();
    std::lock_guard hold(list.lock);
    for (auto entry = list.entries.begin(); entry != list.entries.end(); ++entry) {
        if (entry->kind != HiddenEntry::Kind::Unreadable && index-- == 0) {
            list.entries.erase(entry);
            return writeList(list);
        }
    }
    return false;
}

bool isHiddenAddress(std::string_view address) {
    return anyEntry([&](const HiddenEntry& entry) {
        return entry.kind == HiddenEntry::Kind::Picture && entry.first == address;
    });
}

bool isHiddenAuthor(std::string_view source, std::string_view author) {
    return !author.empty() && anyEntry([&](const HiddenEntry& entry) {
        return entry.kind == HiddenEntry::Kind::Author && entry.first == author &&
               entry.second == source;
    });
}

bool isHiddenLook(std::uint64_t hash) {
    return anyEntry([&](const HiddenEntry& entry) {
        return entry.hash && looksLikeSamePicture(*entry.hash, hash);
    });
}

bool anyHiddenLook() {
    return anyEntry([](const HiddenEntry& entry) { return entry.hash.has_value(); });
}
