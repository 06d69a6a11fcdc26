#include "app/logic/display_choices.h"

#include "settings/wall_options.h"

DisplayChoices loadDisplayChoices() {
    DisplayChoices choices;
    choices.fillCells = wallOptionIsOn(WallOption::TileFit);
    choices.smoothTiles = wallOptionIsOn(WallOption::TileFilter);
    choices.skipSimilar = wallOptionIsOn(WallOption::SimilarSkip);
    choices.restoreWall = wallOptionIsOn(WallOption::RestoreWall);
    choices.pauseUnseen = wallOptionIsOn(WallOption::PauseUnseen);
    choices.skipWords = wallOptionText(WallOption::SkipWords);
    return choices;
}

DisplayStoreResult storeDisplayChoices(const DisplayChoices& choices) {
    const DisplayChoices before = loadDisplayChoices();
    setWallOption(WallOption::TileFit, choices.fillCells ? 1 : 0);
    setWallOption(WallOption::TileFilter, choices.smoothTiles ? 1 : 0);
    setWallOption(WallOption::SimilarSkip, choices.skipSimilar ? 1 : 0);
    setWallOption(WallOption::RestoreWall, choices.restoreWall ? 1 : 0);
    setWallOption(WallOption::PauseUnseen, choices.pauseUnseen ? 1 : 0);
    setWallOptionText(WallOption::SkipWords, choices.skipWords);
    DisplayStoreResult result;
    result.tileLookChanged =
        before.fillCells != choices.fillCells || before.smoothTiles != choices.smoothTiles;
    result.saved = saveWallOptions();
    return result;
}
