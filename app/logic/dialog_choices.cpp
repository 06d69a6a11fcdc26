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
    choices.keyword = optionText(OptionKey::Keyword);
    choices.searchInterval =
        selectedChoice(optionValue(OptionKey::SearchInterval), kIntervalChoices);
    choices.resultCount = selectedChoice(optionValue(OptionKey::ResultCount), kCountChoices);
    choices.warnFewResults = optionValue(OptionKey::WarnFewResults) != 0;
    choices.originalImages = optionValue(OptionKey::OriginalImages) != 0;
    choices.updateWhileEnlarged = optionValue(OptionKey::UpdateWhileEnlarged) != 0;
    choices.allowSeveral = optionValue(OptionKey::AllowSeveral) != 0;
    choices.attachMessage = optionValue(OptionKey::AttachMessage) != 0;
    return choices;
}

bool storeSettingsChoices(const SettingsChoices& choices) {
    setOptionValue(OptionKey::WarnFewResults, choices.warnFewResults ? 1 : 0);
    if (choices.searchInterval) {
        setOptionValue(OptionKey::SearchInterval, *choices.searchInterval);
    }
    if (choices.resultCount) {
        setOptionValue(OptionKey::ResultCount, *choices.resultCount);
    }
    setOptionValue(OptionKey::OriginalImages, choices.originalImages ? 1 : 0);
    setOptionValue(OptionKey::UpdateWhileEnlarged, choices.updateWhileEnlarged ? 1 : 0);
    setOptionValue(OptionKey::AllowSeveral, choices.allowSeveral ? 1 : 0);
    setOptionValue(OptionKey::AttachMessage, choices.attachMessage ? 1 : 0);
    setOptionText(OptionKey::Keyword, choices.keyword);
    return optionIsOn(OptionKey::UpdateWhileEnlarged);
}
