// Removed when the first dialog lands.
