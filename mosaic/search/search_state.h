#pragma once

#include <atomic>

// The switches of the search side, readable on every thread.
struct SearchSwitches {
    // Cleared while the enlarged view is open (unless the option kaku_kousin keeps searching).
    std::atomic<bool> enabled{true};
    // Set once by the exit command before it waits for the worker: the cycle stops between
    // links, downloads and exchanges give up, and nothing more is queued.
    std::atomic<bool> exitRequested{false};
};

SearchSwitches& searchSwitches();

// No cycle starts until resumeSearch; a cycle already running ends as usual.
void pauseSearch();
void resumeSearch();
bool searchIsEnabled();

void requestExit();
bool exitWasRequested();
