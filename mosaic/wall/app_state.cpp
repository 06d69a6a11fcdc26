#include "mosaic/wall/app_state.h"

AppState& appState() {
    static AppState state;
    return state;
}
