#pragma once

#include <string>

// What the "表示" page edits, as its controls hold them; all of it lives in txts/wall.txt.
struct DisplayChoices {
    bool fillCells = false;    // tile_fit
    bool smoothTiles = false;  // tile_filter
    bool skipSimilar = false;  // similar_skip
    bool restoreWall = false;  // restore_wall
    bool pauseUnseen = false;  // pause_unseen
    std::string skipWords;     // skip_words, bytes in the ANSI code page
};

DisplayChoices loadDisplayChoices();

struct DisplayStoreResult {
    bool saved = false;            // txts/wall.txt now holds the choices
    bool tileLookChanged = false;  // tile_fit or tile_filter changed: the copies are remade
};

// OK: stores the choices and writes the file atomically.
DisplayStoreResult storeDisplayChoices(const DisplayChoices& choices);
