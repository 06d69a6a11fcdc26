// Removed once oauth has real sources.
