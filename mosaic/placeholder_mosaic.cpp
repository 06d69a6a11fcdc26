// Removed once mosaic has real sources.
