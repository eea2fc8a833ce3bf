#include "audio/sound_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "common/atomic_file.h"

namespace {

std::string FolderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string LowerExtension(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = path.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

// A link is followed, so that exporting through it updates the file it points to instead of
// replacing the link with a plain file.
std::string ResolvedTarget(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_symlink(path, ec)) return path;
  auto resolved = std::filesystem::weakly_canonical(path, ec);
  return ec ? path : resolved.string();
}

}  // namespace

std::optional<AudioFormat> AudioFormatOf(const std::string& path) {
  const std::string ext = LowerExtension(path);
  if (ext == ".wav") return AudioFormat::Wav;
  if (ext == ".flac") return AudioFormat::Flac;
  if (ext == ".ogg") return AudioFormat::Ogg;
  return std::nullopt;
}

SoundFileWriter::~SoundFileWriter() { Discard(); }

bool SoundFileWriter::Open(const std::string& path, AudioFormat format, int sampleRate, int64_t maxFrames,
                           std::string& error) {
  Discard();
  if (path.empty()) {
    error = std::strerror(ENOENT);
    return false;
  }
  target_ = ResolvedTarget(path);
  format_ = format;
  // Renaming would silently replace a file the user has write-protected; writing in place would not.
  if (::access(target_.c_str(), F_OK) == 0 && ::access(target_.c_str(), W_OK) != 0) {
    error = std::strerror(errno);
    return false;
  }
  temp_ = FolderOf(target_) + "/.grooveloom-XXXXXX";
  fd_ = ::mkstemp(temp_.data());
  if (fd_ < 0) {
    error = std::strerror(errno);
    temp_.clear();
    return false;
  }
  // The permissions an existing target had; a new file gets the usual 0666 & ~umask.
  struct stat st {};
  if (::stat(target_.c_str(), &st) == 0) {
    ::fchmod(fd_, st.st_mode & 07777);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
  }

  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = 2;
  switch (format) {
    case AudioFormat::Wav: {
      // RIFF sizes are 32 bits: a longer song needs the 64-bit variant of WAV.
      const bool large = maxFrames * 4 > int64_t{0xFFFFFFFF} - (1 << 16);
      info.format = (large ? SF_FORMAT_RF64 : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
      break;
    }
    case AudioFormat::Flac: info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16; break;
    case AudioFormat::Ogg: info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS; break;
  }
  SF_VIRTUAL_IO io{&SoundFileWriter::Length, &SoundFileWriter::Seek, &SoundFileWriter::Read,
                   &SoundFileWriter::WriteBytes, &SoundFileWriter::Tell};
  file_ = sf_open_virtual(&io, SFM_WRITE, &info, this);
  if (!file_) return Failed(sf_strerror(nullptr), error);
  if (format == AudioFormat::Flac) {
    // The fastest level: half again as fast as the default, and drums leave the files within a
    // tenth of the size.
    double level = 0.0;
    sf_command(file_, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
  }
  return true;
}

bool SoundFileWriter::Failed(const std::string& what, std::string& error) {
  error = writeErrno_ ? std::strerror(writeErrno_) : what;
  Discard();
  return false;
}

bool SoundFileWriter::Write(const float* frames, int64_t count, std::string& error) {
  if (!file_) return Failed("The file is not open", error);
  sf_count_t written;
  if (format_ == AudioFormat::Ogg) {
    written = sf_writef_float(file_, frames, count);
  } else {
    // 16-bit, rounded to nearest and clipped. Written so the compiler vectorises it (std::clamp and
    // std::min/max leave branches): it was a third of the export's time.
    pcm_.resize(2 * static_cast<std::size_t>(count));
    short* out = pcm_.data();
    const std::size_t n = pcm_.size();
    for (std::size_t i = 0; i < n; ++i) {
      float offset = frames[i] * 32767.0f + 32768.5f;  // 0..65535.5 in range, so truncation rounds
      offset = offset > 0.0f ? offset : 0.0f;
      offset = offset < 65535.0f ? offset : 65535.0f;
      out[i] = static_cast<short>(static_cast<int>(offset) - 32768);
    }
    written = sf_writef_short(file_, pcm_.data(), count);
  }
  if (written != count || writeErrno_) return Failed(sf_strerror(file_), error);
  return true;
}

bool SoundFileWriter::Commit(std::string& error) {
  if (!file_) return Failed("The file is not open", error);
  const int closed = sf_close(file_);
  file_ = nullptr;
  if (closed != 0 || writeErrno_) return Failed(sf_error_number(closed), error);
  if (::fsync(fd_) != 0) return Failed(std::strerror(errno), error);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return Failed(std::strerror(errno), error);
  if (::rename(temp_.c_str(), target_.c_str()) != 0) return Failed(std::strerror(errno), error);
  temp_.clear();
  // Make the rename itself durable.
  const int dir = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

void SoundFileWriter::Discard() {
  if (file_) sf_close(file_);
  file_ = nullptr;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

sf_count_t SoundFileWriter::Length(void* self) {
  struct stat st {};
  return ::fstat(static_cast<SoundFileWriter*>(self)->fd_, &st) == 0 ? st.st_size : -1;
}

sf_count_t SoundFileWriter::Seek(sf_count_t offset, int whence, void* self) {
  return ::lseek(static_cast<SoundFileWriter*>(self)->fd_, offset, whence);
}

sf_count_t SoundFileWriter::Read(void* data, sf_count_t bytes, void* self) {
  const ssize_t n = ::read(static_cast<SoundFileWriter*>(self)->fd_, data, static_cast<std::size_t>(bytes));
  return n < 0 ? 0 : n;
}

sf_count_t SoundFileWriter::Tell(void* self) { return ::lseek(static_cast<SoundFileWriter*>(self)->fd_, 0, SEEK_CUR); }

sf_count_t SoundFileWriter::WriteBytes(const void* data, sf_count_t bytes, void* self) {
  auto* writer = static_cast<SoundFileWriter*>(self);
  if (writer->writeErrno_) return 0;
  const char* from = static_cast<const char*>(data);
  sf_count_t done = 0;
  while (done < bytes) {
    sf_count_t chunk = bytes - done;
    if (gFailWritesAfterBytes >= 0) {  // test seam: a disk that fills up part-way
      const int64_t allowed = gFailWritesAfterBytes - writer->bytesWritten_;
      if (allowed <= 0) {
        writer->writeErrno_ = EIO;
        return done;
      }
      chunk = std::min<sf_count_t>(chunk, allowed);
    }
    const ssize_t n = ::write(writer->fd_, from + done, static_cast<std::size_t>(chunk));
    if (n < 0) {
      if (errno == EINTR) continue;
      writer->writeErrno_ = errno;
      return done;
    }
    done += n;
    writer->bytesWritten_ += n;
  }
  return done;
}
