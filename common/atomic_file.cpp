#include "common/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <random>
#include <string>

int64_t gFailWritesAfterBytes = -1;
bool gExitAtWriteFailure = false;
bool gUseUnnamedTemporary = true;

namespace {

constexpr std::string_view kTemporaryPrefix = ".grooveloom-";
constexpr std::size_t kTemporarySuffixLength = 6;  // as mkstemp's XXXXXX
constexpr int kMaxLinkHops = 40;                    // the kernel's own limit

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
        if (gExitAtWriteFailure) ::_exit(70);
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

// The file a save of `path` must write: symbolic links are followed (the last one may name a file
// that does not exist yet), so a link stays a link and its target gets the new content.
bool ResolveLinks(const std::string& path, std::string& resolved, int& err) {
  std::string current = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      resolved = current;
      return true;
    }
    std::string target(PATH_MAX, '\0');
    ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
    if (n < 0) {
      err = errno;
      return false;
    }
    target.resize(static_cast<std::size_t>(n));
    current = target.starts_with('/') ? target : FolderOf(current) + "/" + target;
  }
  err = ELOOP;
  return false;
}

bool IsTemporaryName(std::string_view name) {
  if (name.size() != kTemporaryPrefix.size() + kTemporarySuffixLength || !name.starts_with(kTemporaryPrefix))
    return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(kTemporaryPrefix.size()), name.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// Temporaries of this program that a killed save left behind. A save in progress holds a lock on
// its temporary, so only the unlocked ones (of this user) are taken away.
void RemoveStaleTemporaries(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const int dirFd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsTemporaryName(entry->d_name)) continue;
    int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) continue;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0)
      ::unlinkat(dirFd, entry->d_name, 0);
    ::close(fd);
  }
  ::closedir(dir);
}

std::string RandomTemporaryName(const std::string& folder) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 random{std::random_device{}()};
  std::string name = folder + "/" + std::string(kTemporaryPrefix);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  for (std::size_t i = 0; i < kTemporarySuffixLength; ++i) name += kLetters[pick(random)];
  return name;
}

// The temporary file a save writes. Unnamed (O_TMPFILE) until it is complete, so a killed save
// leaves nothing; otherwise named and locked, so a later save can tell a stale one from one in use.
class Temporary {
 public:
  ~Temporary() { Discard(); }

  bool Create(const std::string& folder, bool unnamed, int& err) {
    if (unnamed) {
      fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
      if (fd_ >= 0) {
        ::flock(fd_, LOCK_EX | LOCK_NB);
        return true;
      }
      err = errno;
      return false;
    }
    for (int attempt = 0; attempt < 8; ++attempt) {
      std::string name = folder + "/" + std::string(kTemporaryPrefix) + "XXXXXX";
      fd_ = ::mkostemp(name.data(), O_CLOEXEC);
      if (fd_ < 0) {
        err = errno;
        return false;
      }
      ::flock(fd_, LOCK_EX | LOCK_NB);
      // Another save's clean-up may have taken the file between its creation and the lock.
      struct stat mine {}, named {};
      if (::fstat(fd_, &mine) == 0 && ::stat(name.c_str(), &named) == 0 && mine.st_ino == named.st_ino &&
          mine.st_dev == named.st_dev) {
        name_ = std::move(name);
        return true;
      }
      ::close(fd_);
      fd_ = -1;
    }
    err = EEXIST;
    return false;
  }

  int Fd() const { return fd_; }

  // Gives the complete file its name in the folder and renames it over `target`.
  bool Commit(const std::string& folder, const std::string& target, int& err) {
    if (name_.empty()) {
      const std::string self = "/proc/self/fd/" + std::to_string(fd_);
      for (int attempt = 0;; ++attempt) {
        std::string name = RandomTemporaryName(folder);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
          name_ = std::move(name);
          break;
        }
        if (errno != EEXIST || attempt == 16) {
          err = errno;
          return false;
        }
      }
    }
    if (::rename(name_.c_str(), target.c_str()) != 0) {
      err = errno;
      return false;
    }
    name_.clear();
    return true;
  }

  void Discard() {
    if (!name_.empty()) ::unlink(name_.c_str());
    name_.clear();
    // Closed last: the lock keeps other saves' clean-up away until the name is gone.
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
  std::string name_;
};

// Writes through a temporary file and a rename. `retryNamed` is set when the unnamed way is not
// available here and a named temporary should be tried.
bool WriteByRename(const std::string& folder, const std::string& target, std::string_view bytes, mode_t mode,
                   bool unnamed, int& err, bool& retryNamed) {
  retryNamed = false;
  Temporary temp;
  if (!temp.Create(folder, unnamed, err)) {
    // Unsupported by the file system or the kernel.
    retryNamed = unnamed && (err == EOPNOTSUPP || err == EISDIR || err == EINVAL);
    return false;
  }
  ::fchmod(temp.Fd(), mode);
  if (!WriteAll(temp.Fd(), bytes) || ::fsync(temp.Fd()) != 0) {
    err = errno;
    return false;
  }
  if (!temp.Commit(folder, target, err)) {
    // Without /proc the unnamed file cannot be linked: the named way still works.
    retryNamed = unnamed && (err == ENOENT || err == EPERM || err == EXDEV);
    return false;
  }
  return true;
}

// Rewrites an open file in place from the complete new content. Room is reserved first, so a full
// disk fails before a byte of the old content is touched.
bool WriteInPlace(int fd, std::string_view bytes, int& err) {
  const auto size = static_cast<off_t>(bytes.size());
  if (size > 0 && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP &&
      errno != ENOSYS && errno != EINVAL) {
    err = errno;
    return false;
  }
  if (::lseek(fd, 0, SEEK_SET) != 0 || !WriteAll(fd, bytes) || ::ftruncate(fd, size) != 0 ||
      ::fsync(fd) != 0) {
    err = errno;
    return false;
  }
  return true;
}

mode_t NewFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error,
                         bool ownerOnly) {
  if (path.empty()) {
    error = std::strerror(ENOENT);
    return false;
  }
  int err = 0;
  std::string target;
  if (!ResolveLinks(path, target, err)) {
    error = std::strerror(err);
    return false;
  }
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  // Keep the permissions an existing target had; a new file gets the usual 0666 & ~umask.
  const mode_t mode = ownerOnly ? mode_t{0600} : exists ? (st.st_mode & 07777) : NewFileMode();
  int existing = -1;
  if (exists && S_ISREG(st.st_mode)) {
    // Refused as an in-place write would be: a write-protected file is not silently replaced.
    existing = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (existing < 0) {
      error = std::strerror(errno);
      return false;
    }
  }
  const std::string folder = FolderOf(target);
  // A rename would split a hard link: the other names would keep the old content.
  bool inPlace = existing >= 0 && st.st_nlink > 1;
  bool ok = false;
  if (!inPlace) {
    RemoveStaleTemporaries(folder);
    bool retryNamed = false;
    ok = WriteByRename(folder, target, bytes, mode, gUseUnnamedTemporary, err, retryNamed);
    if (!ok && retryNamed) ok = WriteByRename(folder, target, bytes, mode, false, err, retryNamed);
    // A writable file in a folder the user cannot write: no temporary can be made there.
    if (!ok && existing >= 0 && (err == EACCES || err == EPERM)) inPlace = true;
    if (ok) {
      // Make the rename itself durable.
      int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
      }
    }
  }
  if (inPlace) {
    ok = WriteInPlace(existing, bytes, err);
    if (ok && ownerOnly) ::fchmod(existing, 0600);
  }
  if (existing >= 0 && ::close(existing) != 0 && inPlace && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) error = std::strerror(err);
  return ok;
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
