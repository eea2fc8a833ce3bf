// FluidSynth and ALSA print their errors to stderr; on a machine without sound that is a screenful on
// every start. These route them into a short in-memory list instead, kept for diagnostics.
#pragma once

#include <string>
#include <vector>

// Installs the FluidSynth log function and the ALSA error handler; does the work once.
void CaptureLibraryMessages();
void NoteLibraryMessage(std::string message);
// The most recent messages, oldest first (a few dozen at most).
std::vector<std::string> RecentLibraryMessages();
// How many messages have been noted so far, and the kept ones noted since that count was taken:
// what a library said during one call.
std::size_t LibraryMessageCount();
std::vector<std::string> LibraryMessagesSince(std::size_t count);
