#pragma once

#include <windows.h>

// The context menu's commands that decide what the wall shows: "この画像を表示しない",
// "この投稿者を表示しない" and "投稿を開く", acting on the selection copy.

// Greys the three items: all of them when no tile lies under the click, the author's when the
// tile names no author, the post's when it has no page the browser may open.
void updateModerationItems(HMENU menu, bool onTile);

void hideSelectedPicture(HWND window);
void hideSelectedAuthor(HWND window);
void openSelectedPost(HWND window);

// Under appMutex, before a placement: queued tiles that became hidden while they were on
// their way stay off the wall.
void withdrawHiddenQueuedTiles();
