// Writers never harm the old file: the bytes go to a temporary file in the target's folder, which
// is flushed to disk and then renamed over the target.
//
// The edges of rename-based saving are handled as a user expects from "save": a symbolic link is
// followed and its target written, the replaced file's permission bits are kept, a file the user
// may not write is refused ("Permission denied") as an in-place write would be, and where a rename
// cannot be used (the folder is not writable, or the file has other hard links that must keep
// seeing the new content) the file is rewritten in place from the complete new content.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

// Writes `bytes` to `path`. On failure returns false, leaves any existing file untouched (except
// when an in-place rewrite fails part-way, which space reserved up front makes unlikely), leaves
// no temporary file and sets `error` to the system's reason (e.g. "No such file or directory").
// The temporary file has no name while it is written (O_TMPFILE) where the file system allows,
// so a killed save leaves nothing; elsewhere it is named ".grooveloom-XXXXXX" and such files left
// by a killed save of this program are removed by the next save into that folder.
// `ownerOnly`: the file ends up readable and writable by its owner alone (0600), whatever it was
// before, for files that hold the user's unsaved work.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error,
                         bool ownerOnly = false);

// Reads a whole file. On failure returns false with the system's reason in `error`.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error);

// Test seams for writing files, in one place.
struct WriteFaults {
  // When >= 0, the next writes fail with EIO once this many bytes have been written to the
  // temporary file (a disk that fills up part-way). -1 (the default) turns it off. Atomic: the
  // recovery writer reads it on its own thread.
  std::atomic<int64_t> FailAfterBytes{-1};
  // With FailAfterBytes, end the process there instead (a save killed part-way).
  std::atomic<bool> ExitAtFailure{false};
  // False forces the named temporary file even where O_TMPFILE works.
  bool UseUnnamedTemporary = true;
};
WriteFaults& TestWriteFaults();
