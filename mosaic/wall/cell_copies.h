#pragma once

#include <functional>

// Exact cell copies for grid tiles whose copy is not at their cell's size or not in the chosen
// tile look (after a rescale, a change of look, or a copy the search worker made at an older
// size). Each is decoded from the tile's bytes and made in that look (by default stretched by
// the same mapping the paint uses), on background threads (one per core);
// the user-interface thread installs them and, until then, draws the old copy stretched.
// The grid is only read and changed on the user-interface thread; the copy threads see
// nothing but the bytes they were given. Their lock is taken after the application mutex
// and the option lock, never before.

// User-interface thread: starts a copy for every grid tile whose copy differs from its
// cell's size or the chosen look and that has none on the way for that size and look; work queued
// for tiles that left the grid is dropped.
void requestCellCopies();

// User-interface thread (rescaleGrid): copies asked for earlier sizes are no longer wanted;
// those not started are dropped, those being made are thrown away when done.
void supersedeCellCopies();

// User-interface thread (every paint): puts each finished copy into its tile, when the tile
// is still in the grid with a cell of that size and the look is still the chosen one. A finished
// copy asks for a repaint.
void installCellCopies();

// Blocks until no copy is queued or being made, then installs them (tests, benchmarks).
void waitForCellCopies();

// Drops queued copies, waits for those being made and stops the threads (shutdown, and
// between tests); requestCellCopies starts them again.
void stopCellCopies();

// Tests: gate runs on the copy thread before each decoding, outside every lock; none by default.
void setCellCopyGate(std::function<void()> gate);
