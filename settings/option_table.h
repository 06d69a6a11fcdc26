#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

enum class OptionType { Integer, Text };

// A key of the option file, typed by the kind of value it holds, so that an integer accessor
// cannot be handed the keyword and the other way round.
template <OptionType Type>
struct TypedOptionKey {
    std::size_t index;  // row in kOptionTable
};
using IntOptionKey = TypedOptionKey<OptionType::Integer>;
using TextOptionKey = TypedOptionKey<OptionType::Text>;

// The fifteen keys by what they mean; the names in the file are in kOptionTable.
struct OptionKey {
    static constexpr IntOptionKey PinnedMarks{0};
    static constexpr IntOptionKey WindowWidth{1};
    static constexpr IntOptionKey WindowHeight{2};
    static constexpr IntOptionKey FrameFixed{3};
    static constexpr IntOptionKey StackingOrder{4};
    static constexpr IntOptionKey SearchInterval{5};
    static constexpr IntOptionKey ResultCount{6};
    static constexpr IntOptionKey WarnFewResults{7};
    static constexpr IntOptionKey OriginalImages{8};
    static constexpr IntOptionKey UpdateWhileEnlarged{9};
    static constexpr IntOptionKey AllowSeveral{10};
    static constexpr IntOptionKey AttachMessage{11};
    static constexpr TextOptionKey Keyword{12};
    static constexpr IntOptionKey WindowX{13};
    static constexpr IntOptionKey WindowY{14};
};

// Values of OptionKey::StackingOrder.
inline constexpr std::int32_t kStackBottom = 0;
inline constexpr std::int32_t kStackNormal = 1;
inline constexpr std::int32_t kStackTopmost = 2;

struct OptionRow {
    std::size_t index;
    std::string_view name;
    OptionType type;
    std::int32_t defaultValue;  // 0 for the keyword, whose default is the empty text
    // A value loaded from the file outside [low, high] becomes the default.
    std::int32_t low = std::numeric_limits<std::int32_t>::min();
    std::int32_t high = std::numeric_limits<std::int32_t>::max();
};

constexpr OptionRow intRow(IntOptionKey key, std::string_view name, std::int32_t defaultValue) {
    return {key.index, name, OptionType::Integer, defaultValue};
}

constexpr OptionRow rangedRow(IntOptionKey key, std::string_view name, std::int32_t defaultValue,
                              std::int32_t low, std::int32_t high) {
    return {key.index, name, OptionType::Integer, defaultValue, low, high};
}

constexpr OptionRow textRow(TextOptionKey key, std::string_view name) {
    return {key.index, name, OptionType::Text, 0};
}

// Row order is the order of the entries in the store and of the lines in the file. The
// window position has no fixed default: the loader centres the window on the screen.
inline constexpr std::array<OptionRow, 15> kOptionTable{{
    intRow(OptionKey::PinnedMarks, "kotei_render", 1),
    intRow(OptionKey::WindowWidth, "window_wid", 1500),
    intRow(OptionKey::WindowHeight, "window_hei", 750),
    intRow(OptionKey::FrameFixed, "window_kotei", 0),
    intRow(OptionKey::StackingOrder, "window_zzahyo", kStackNormal),
    rangedRow(OptionKey::SearchInterval, "serch_byo", 25, 15, 35),
    rangedRow(OptionKey::ResultCount, "serch_ken", 20, 10, 30),
    intRow(OptionKey::WarnFewResults, "syokeikoku", 0),
    intRow(OptionKey::OriginalImages, "original", 0),
    intRow(OptionKey::UpdateWhileEnlarged, "kaku_kousin", 0),
    intRow(OptionKey::AllowSeveral, "kaku_fukusuu", 0),
    intRow(OptionKey::AttachMessage, "kaku_tubuyaki", 0),
    textRow(OptionKey::Keyword, "kensaku_word"),
    intRow(OptionKey::WindowX, "window_x", 0),
    intRow(OptionKey::WindowY, "window_y", 0),
}};

constexpr bool rowsFollowTheirKeys() {
    for (std::size_t i = 0; i < kOptionTable.size(); ++i) {
        if (kOptionTable[i].index != i) {
            return false;
        }
    }
    return true;
}
static_assert(rowsFollowTheirKeys(), "each key names its own row");

template <OptionType Type>
constexpr const OptionRow& optionRow(TypedOptionKey<Type> key) {
    return kOptionTable[key.index];
}
