// Removed once the window sources exist.
