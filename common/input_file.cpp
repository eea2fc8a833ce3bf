#include "common/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool InputFile::Open(const std::string& path, std::string& error) {
  if (fd_ >= 0) ::close(fd_);
  failed_ = false;
  // Non-blocking, so that a FIFO without a writer does not hold the open.
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd_ < 0) {
    error = std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode))) {
    // A folder or a device (/dev/zero would never end) is no file to read.
    error = S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "Not a regular file";
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  // Reads may wait again: a pipe whose writer is still producing is read to its end. A FIFO that
  // has no writer at all reads as empty at once.
  ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  return true;
}

std::size_t InputFile::Read(char* buffer, std::size_t n) {
  if (fd_ < 0 || failed_) return 0;
  for (;;) {
    ssize_t got = ::read(fd_, buffer, n);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno == EINTR) continue;
    failed_ = true;
    return 0;
  }
}
