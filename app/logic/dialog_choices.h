#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// The nine options the settings dialog edits, as its controls hold them.
struct SettingsChoices {
    std::string keyword;  // kensaku_word, bytes in the ANSI code page
    // serch_byo and serch_ken as their radio buttons show them (15/25/35, 10/20/30); none when
    // no button of the group is checked, which leaves the stored value alone.
    std::optional<std::int32_t> searchInterval;
    std::optional<std::int32_t> resultCount;
    bool warnFewResults = false;       // syokeikoku
    bool originalImages = false;       // original
    bool updateWhileEnlarged = false;  // kaku_kousin
    bool allowSeveral = false;         // kaku_fukusuu
    bool attachMessage = false;        // kaku_tubuyaki
};

inline constexpr std::int32_t kIntervalChoices[] = {15, 25, 35};
inline constexpr std::int32_t kCountChoices[] = {10, 20, 30};

// The button a stored value selects: each choice but the last its own, any other value the last.
std::int32_t selectedChoice(std::int32_t stored, std::span<const std::int32_t> choices);

// The value of the first checked button of a group; none when no button is checked.
std::optional<std::int32_t> checkedChoice(std::span<const bool> checked,
                                          std::span<const std::int32_t> choices);

// What the dialog opens with. A missing option reads as 0 (or an empty keyword).
SettingsChoices loadSettingsChoices();

// OK: stores syokeikoku, serch_byo, serch_ken, original, kaku_kousin, kaku_fukusuu,
// kaku_tubuyaki, then kensaku_word. Returns whether kaku_kousin is now 1, in which case
// searching is enabled again.
bool storeSettingsChoices(const SettingsChoices& choices);
