// Removed once the serial port sources exist.
