#include "common/atomic_file.h"
#include "common/atomic_file_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstring>
#include <random>
#include <vector>
#include <cstdlib>
#include <string>

WriteFaults& TestWriteFaults() {
  static WriteFaults faults;
  return faults;
}

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

// The umask is read from /proc: setting it to read it back would, for that instant, give files
// that other threads create (the recovery writer, an export) world-writable permissions.
mode_t NewFileMode() {
  mode_t mask = 022;
  if (FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
      unsigned value = 0;
      if (std::sscanf(line, "Umask: %o", &value) == 1) {
        mask = static_cast<mode_t>(value & 0777);
        break;
      }
    }
    std::fclose(status);
  }
  return 0666 & ~mask;
}

std::string ScratchFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

bool Unsupported(int err) { return err == EOPNOTSUPP || err == EISDIR || err == EINVAL; }

void SyncFolder(const std::string& folder) {
  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

}  // namespace

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

// Unnamed (O_TMPFILE) until it is complete, so a killed save leaves nothing; otherwise named and
// locked, so a later save can tell a stale one from one in use.
bool AtomicFileWriter::CreateTemporary(bool unnamed, int& err) {
  if (unnamed) {
    fd_ = ::open(folder_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ >= 0) return true;
    err = errno;
    return false;
  }
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::string name = folder_ + "/" + std::string(kTemporaryPrefix) + "XXXXXX";
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

bool AtomicFileWriter::Open(const std::string& path, std::string& error, bool ownerOnly) {
  Discard();
  written_ = 0;
  inPlace_ = false;
  ownerOnly_ = ownerOnly;
  if (path.empty()) {
    error = std::strerror(ENOENT);
    return false;
  }
  int err = 0;
  if (!ResolveLinks(path, target_, err)) {
    error = std::strerror(err);
    return false;
  }
  struct stat st {};
  const bool exists = ::stat(target_.c_str(), &st) == 0;
  // Keep the permissions an existing target had; a new file gets the usual 0666 & ~umask.
  mode_ = ownerOnly ? 0600 : exists ? (st.st_mode & 07777) : NewFileMode();
  if (exists && S_ISREG(st.st_mode)) {
    // Refused as an in-place write would be: a write-protected file is not silently replaced.
    existing_ = ::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (existing_ < 0) {
      error = std::strerror(errno);
      return false;
    }
  }
  folder_ = FolderOf(target_);
  // A rename would split a hard link: the other names would keep the old content.
  inPlace_ = existing_ >= 0 && st.st_nlink > 1;
  if (!inPlace_) {
    RemoveStaleTemporaries(folder_);
    const bool unnamed = TestWriteFaults().UseUnnamedTemporary;
    bool made = CreateTemporary(unnamed, err);
    if (!made && unnamed && Unsupported(err)) made = CreateTemporary(false, err);
    // A writable file in a folder the user cannot write: no temporary can be made there.
    if (!made && existing_ >= 0 && (err == EACCES || err == EPERM)) inPlace_ = true;
    if (!made && !inPlace_) {
      error = std::strerror(err);
      Discard();
      return false;
    }
    if (made) ::fchmod(fd_, mode_);
  }
  if (inPlace_) {
    // The complete content is copied in at the end; until then it waits where nothing is left
    // behind by a kill either.
    const std::string scratch = ScratchFolder();
    fd_ = ::open(scratch.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ < 0) {
      std::string name = scratch + "/" + std::string(kTemporaryPrefix) + "XXXXXX";
      fd_ = ::mkostemp(name.data(), O_CLOEXEC);
      if (fd_ >= 0) ::unlink(name.c_str());
    }
    if (fd_ < 0) {
      error = std::strerror(errno);
      Discard();
      return false;
    }
  }
  return true;
}

bool AtomicFileWriter::Write(const void* data, std::size_t size, int& err) {
  const char* from = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < size) {
    std::size_t chunk = size - done;
    if (const int64_t failAfter = TestWriteFaults().FailAfterBytes.load(); failAfter >= 0) {  // test seam: a disk that fills up part-way
      const int64_t allowed = failAfter - written_;
      if (allowed <= 0) {
        if (TestWriteFaults().ExitAtFailure) ::_exit(70);
        err = EIO;
        return false;
      }
      chunk = std::min<std::size_t>(chunk, static_cast<std::size_t>(allowed));
    }
    const ssize_t n = ::write(fd_, from + done, chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      return false;
    }
    done += static_cast<std::size_t>(n);
    written_ += n;
  }
  return true;
}

// Copies the whole temporary into `to` from its start. Room is reserved first, so a full disk
// fails before a byte of an old content is touched.
bool AtomicFileWriter::CopyInto(int to, int& err) {
  const off_t size = ::lseek(fd_, 0, SEEK_END);
  if (size < 0) {
    err = errno;
    return false;
  }
  if (size > 0 && ::fallocate(to, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP &&
      errno != ENOSYS && errno != EINVAL) {
    err = errno;
    return false;
  }
  std::vector<char> buffer(1 << 20);
  for (off_t at = 0; at < size;) {
    const ssize_t n = ::pread(fd_, buffer.data(), std::min<std::size_t>(buffer.size(), static_cast<std::size_t>(size - at)), at);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      err = n < 0 ? errno : EIO;
      return false;
    }
    for (ssize_t put = 0; put < n;) {
      const ssize_t m = ::pwrite(to, buffer.data() + put, static_cast<std::size_t>(n - put), at + put);
      if (m < 0) {
        if (errno == EINTR) continue;
        err = errno;
        return false;
      }
      put += m;
    }
    at += n;
  }
  if (::ftruncate(to, size) != 0 || ::fsync(to) != 0) {
    err = errno;
    return false;
  }
  return true;
}

// Gives the complete unnamed temporary a name in the target's folder. Without /proc it cannot be
// linked: its content is then copied into a named one.
bool AtomicFileWriter::LinkOrCopyIntoFolder(int& err) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  for (int attempt = 0;; ++attempt) {
    std::string name = RandomTemporaryName(folder_);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      name_ = std::move(name);
      return true;
    }
    if (errno != EEXIST || attempt == 16) break;
  }
  err = errno;
  if (err != ENOENT && err != EPERM && err != EXDEV) return false;
  const int unnamed = fd_;
  fd_ = -1;
  if (!CreateTemporary(false, err)) {
    fd_ = unnamed;
    return false;
  }
  ::fchmod(fd_, mode_);
  const int named = fd_;
  fd_ = unnamed;  // CopyInto reads the temporary at fd_
  const bool ok = CopyInto(named, err);
  ::close(unnamed);
  fd_ = named;
  return ok;
}

bool AtomicFileWriter::Commit(std::string& error) {
  int err = 0;
  bool ok = fd_ >= 0;
  if (!ok) err = EBADF;
  if (ok && inPlace_) {
    ok = CopyInto(existing_, err);
    if (ok && ownerOnly_) ::fchmod(existing_, 0600);
  } else if (ok) {
    ok = ::fsync(fd_) == 0;
    if (!ok) err = errno;
    if (ok && name_.empty()) ok = LinkOrCopyIntoFolder(err);
    if (ok && ::rename(name_.c_str(), target_.c_str()) != 0) {
      ok = false;
      err = errno;
    }
    if (ok) {
      name_.clear();
      SyncFolder(folder_);  // makes the rename itself durable
    }
  }
  if (existing_ >= 0 && ::close(existing_) != 0 && inPlace_ && ok) {
    ok = false;
    err = errno;
  }
  existing_ = -1;
  Discard();
  if (!ok) error = std::strerror(err);
  return ok;
}

void AtomicFileWriter::Discard() {
  if (!name_.empty()) ::unlink(name_.c_str());
  name_.clear();
  // Closed last: the lock keeps other saves' clean-up away until the name is gone.
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (existing_ >= 0) ::close(existing_);
  existing_ = -1;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error,
                         bool ownerOnly) {
  AtomicFileWriter writer;
  if (!writer.Open(path, error, ownerOnly)) return false;
  int err = 0;
  if (!writer.Write(bytes.data(), bytes.size(), err)) {
    error = std::strerror(err);
    return false;
  }
  return writer.Commit(error);
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
