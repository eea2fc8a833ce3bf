// Keeps the library non-empty while devices are being written.
