// Writers never harm the old file: the bytes go to a temporary file in the target's folder, which
// is flushed to disk and then renamed over the target.
//
// The edges of rename-based saving are handled as a user expects from "save": a symbolic link is
// followed and its target written, the replaced file's permission bits are kept, a file the user
// may not write is refused ("Permission denied") as an in-place write would be, and where a rename
// cannot be used (the folder is not writable, or the file has other hard links that must keep
// seeing the new content) the file is rewritten in place from the complete new content.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <cstddef>

// Writes `bytes` to `path`. On failure returns false, leaves any existing file untouched (except
// when an in-place rewrite fails part-way, which space reserved up front makes unlikely), leaves
// no temporary file and sets `error` to the system's reason (e.g. "No such file or directory").
// The temporary file has no name while it is written (O_TMPFILE) where the file system allows,
// so a killed save leaves nothing; elsewhere it is named ".grooveloom-XXXXXX" and such files left
// by a killed save of this program are removed by the next save into that folder.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

// The same writer for content too large to hold in memory (audio): streamed into the temporary
// file, which the caller may also seek and read back through Fd(), and put in place by Commit.
// Where the file must be rewritten in place, the temporary lives in the system's temporary folder
// ($TMPDIR, else /tmp), unnamed, and is copied into the file once complete.
class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
  ~AtomicFileWriter();  // discards an uncommitted file

  bool Open(const std::string& path, std::string& error);
  int Fd() const { return fd_; }
  // Appends at the temporary's current offset; false with the system's reason in `err`.
  bool Write(const void* data, std::size_t size, int& err);
  bool Commit(std::string& error);
  void Discard();

 private:
  bool CreateTemporary(bool unnamed, int& err);
  bool CopyInto(int to, int& err);
  bool LinkOrCopyIntoFolder(int& err);

  std::string target_, folder_, name_;  // name_: a named temporary in the target's folder
  int fd_ = -1;                         // the temporary
  int existing_ = -1;                   // the target, opened for writing, when it exists
  bool inPlace_ = false;
  unsigned mode_ = 0;
  int64_t written_ = 0;                 // for the failing-disk test seam
};

// Reads a whole file. On failure returns false with the system's reason in `error`.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error);

// Test seam: when >= 0, the next writes fail with EIO once this many bytes have been written to
// the temporary file (a disk that fills up part-way). -1 (the default) turns it off.
extern int64_t gFailWritesAfterBytes;
// Test seam: with gFailWritesAfterBytes, end the process there instead (a save killed part-way).
extern bool gExitAtWriteFailure;
// Test seam: false forces the named temporary file even where O_TMPFILE works.
extern bool gUseUnnamedTemporary;
