// Removed once the app has real sources.
int main() { return 0; }
