#include "app/logic/dialog_choices.h"

#include "settings/option_store.h"

std::int32_t selectedChoice(std::int32_t stored, std::span<const std::int32_t> choices) {
    for (std::size_t i = 0; i + 1 < choices.size(); ++i) {
        if (stored == choices[i]) {
            return choices[i];
        }
    }
    return choices.empty() ? stored : choices.back();
}

std::optional<std::int32_t> checkedChoice(std::span<const bool> checked,
                                          std::span<const std::int32_t> choices) {
    for (std::size_t i = 0; i < checked.size() && i < choices.size(); ++i) {
        if (checked[i]) {
            return choices[i];
        }
    }
    return std::nullopt;
}

SettingsChoices loadSettingsChoices() {
    SettingsChoices choices;
    getOption("kensaku_word", nullptr, &choices.keyword);
    choices.searchInterval = selectedChoice(optionOr("serch_byo", 0), kIntervalChoices);
    choices.resultCount = selectedChoice(optionOr("serch_ken", 0), kCountChoices);
    choices.warnFewResults = optionOr("syokeikoku", 0) != 0;
    choices.originalImages = optionOr("original", 0) != 0;
    choices.updateWhileEnlarged = optionOr("kaku_kousin", 0) != 0;
    choices.allowSeveral = optionOr("kaku_fukusuu", 0) != 0;
    choices.attachMessage = optionOr("kaku_tubuyaki", 0) != 0;
    return choices;
}

bool storeSettingsChoices(const SettingsChoices& choices) {
    setOption("syokeikoku", choices.warnFewResults ? 1 : 0);
    if (choices.searchInterval) {
        setOption("serch_byo", *choices.searchInterval);
    }
    if (choices.resultCount) {
        setOption("serch_ken", *choices.resultCount);
    }
    setOption("original", choices.originalImages ? 1 : 0);
    setOption("kaku_kousin", choices.updateWhileEnlarged ? 1 : 0);
    setOption("kaku_fukusuu", choices.allowSeveral ? 1 : 0);
    setOption("kaku_tubuyaki", choices.attachMessage ? 1 : 0);
    setOption("kensaku_word", std::nullopt, choices.keyword);
    return optionOr("kaku_kousin", 0) == 1;
}
