// Writers never harm the old file: the bytes go to a temporary file in the target's folder, which
// is flushed to disk and then renamed over the target.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Writes `bytes` to `path`. On failure returns false, leaves any existing file untouched, removes
// the temporary file and sets `error` to the system's reason (e.g. "No such file or directory").
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

// Reads a whole file. On failure returns false with the system's reason in `error`.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error);

// Test seam: when >= 0, the next writes fail with EIO once this many bytes have been written to
// the temporary file (a disk that fills up part-way). -1 (the default) turns it off.
extern int64_t gFailWritesAfterBytes;
