// Removed once settings has real sources.
