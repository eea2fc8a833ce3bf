// A sound file written the way every export is: into a temporary file in the target's folder,
// streamed block by block, flushed to disk and renamed over the target only when complete. A
// failure or a cancel removes the temporary file and leaves any old file as it was.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class AudioFormat { Wav, Flac, Ogg };

// The format a path's extension names (.wav, .flac, .ogg in any case), or nothing.
std::optional<AudioFormat> AudioFormatOf(const std::string& path);

class SoundFileWriter {
 public:
  SoundFileWriter() = default;
  SoundFileWriter(const SoundFileWriter&) = delete;
  SoundFileWriter& operator=(const SoundFileWriter&) = delete;
  ~SoundFileWriter();  // discards an uncommitted file

  // Creates the temporary file for `path`. `maxFrames` bounds the length (a WAV that would pass
  // 4 GiB is written as RF64).
  bool Open(const std::string& path, AudioFormat format, int sampleRate, int64_t maxFrames, std::string& error);
  // Appends interleaved stereo frames in -1..1 (clipped beyond).
  bool Write(const float* frames, int64_t count, std::string& error);
  // Completes the file and renames it over the target.
  bool Commit(std::string& error);
  // Drops the temporary file.
  void Discard();

 private:
  static sf_count_t Length(void* self);
  static sf_count_t Seek(sf_count_t offset, int whence, void* self);
  static sf_count_t Read(void* data, sf_count_t bytes, void* self);
  static sf_count_t WriteBytes(const void* data, sf_count_t bytes, void* self);
  static sf_count_t Tell(void* self);
  bool Failed(const std::string& what, std::string& error);

  std::string target_, temp_;
  AudioFormat format_ = AudioFormat::Wav;
  int fd_ = -1;
  SNDFILE* file_ = nullptr;
  int writeErrno_ = 0;       // the system's reason for the first failed write
  int64_t bytesWritten_ = 0; // for the disk-full test seam
  std::vector<short> pcm_;
};
