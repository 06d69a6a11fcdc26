#include "mosaic/search/search_state.h"

SearchSwitches& searchSwitches() {
    static SearchSwitches switches;
    return switches;
}

void pauseSearch() {
    searchSwitches().enabled = false;
}

void resumeSearch() {
    searchSwitches().enabled = true;
}

bool searchIsEnabled() {
    return searchSwitches().enabled.load();
}

void requestExit() {
    searchSwitches().exitRequested = true;
}

bool exitWasRequested() {
    return searchSwitches().exitRequested.load();
}
