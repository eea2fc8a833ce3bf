#include "common/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

int64_t gFailWritesAfterBytes = -1;

namespace {

std::string FolderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    std::size_t chunk = bytes.size() - done;
    if (gFailWritesAfterBytes >= 0) {
      auto allowed = static_cast<std::size_t>(gFailWritesAfterBytes);
      if (done >= allowed) {
        errno = EIO;
        return false;
      }
      chunk = std::min(chunk, allowed - done);
    }
    ssize_t n = ::write(fd, bytes.data() + done, chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error) {
  if (path.empty()) {
    error = std::strerror(ENOENT);
    return false;
  }
  std::string temp = FolderOf(path) + "/.grooveloom-XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  // Keep the permissions an existing target had; a new file gets the usual 0666 & ~umask.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    ::fchmod(fd, st.st_mode & 07777);
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  int savedErrno = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    error = std::strerror(savedErrno);
    return false;
  }
  // Make the rename itself durable.
  int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error) {
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  bytes.clear();
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return true;
}
