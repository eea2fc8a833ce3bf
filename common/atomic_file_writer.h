// WriteFileAtomically (common/atomic_file.h) for content streamed in pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The writer of WriteFileAtomically for content too large to hold in memory (audio): streamed into the temporary
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

