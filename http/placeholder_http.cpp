// Removed once http has real sources.
