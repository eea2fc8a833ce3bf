// A sound file written the way every export is (AtomicFileWriter): streamed block by block into an
// unnamed temporary file, flushed to disk and put in place only when complete. A failure, a
// cancel or a kill leaves no temporary file and any old file as it was.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/atomic_file_writer.h"

enum class AudioFormat { Wav, Flac, Ogg };

// The format a path's extension names (.wav, .flac, .ogg in any case), or nothing.
std::optional<AudioFormat> AudioFormatOf(const std::string& path);

// The song information written into the file (UTF-8); empty ones are left out.
struct AudioTags {
  std::string Title, Artist, Album;
};

class SoundFileWriter {
 public:
  SoundFileWriter() = default;
  SoundFileWriter(const SoundFileWriter&) = delete;
  SoundFileWriter& operator=(const SoundFileWriter&) = delete;
  ~SoundFileWriter();  // discards an uncommitted file

  // Creates the temporary file for `path`. `maxFrames` bounds the length (a WAV that would pass
  // 4 GiB is written as RF64).
  bool Open(const std::string& path, AudioFormat format, int sampleRate, int64_t maxFrames, const AudioTags& tags,
            std::string& error);
  // Every sample written from now on is multiplied by `gain`.
  void SetGain(float gain) { gain_ = gain; }
  // Appends interleaved stereo frames, then clipped to -1..1.
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

  AtomicFileWriter out_;
  AudioFormat format_ = AudioFormat::Wav;
  SNDFILE* file_ = nullptr;
  int writeErrno_ = 0;  // the system's reason for the first failed write
  float gain_ = 1.0f;
  std::vector<short> pcm_;
  std::vector<float> scaled_;
};
