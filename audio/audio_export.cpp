#include "audio/audio_export.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/drum_sound_bank.h"
#include "audio/song_mixer.h"
#include "audio/sound_file_writer.h"
#include "midi/output/fluid_synth_device.h"

namespace {

constexpr int kRate = DrumSoundBank::kSampleRate;
constexpr int kBlockFrames = 8192;
constexpr int kBlocksPerReport = 16;  // about 3 s of audio between progress calls

// The frames of `tail` (which starts with the last note) worth keeping: up to where everything has
// fallen 60 dB below the tail's loudest sample. A tail still sounding at its end fades out.
int64_t TailLength(std::vector<float>& tail) {
  float peak = 0;
  for (float s : tail) peak = std::max(peak, std::fabs(s));
  const float threshold = peak * 1e-3f;
  std::size_t end = tail.size();
  while (end >= 2 && std::fabs(tail[end - 1]) <= threshold && std::fabs(tail[end - 2]) <= threshold) end -= 2;
  if (end == tail.size()) {
    const std::size_t fade = std::min<std::size_t>(end / 2, kRate / 20);
    for (std::size_t i = 0; i < fade; ++i) {
      const float gain = static_cast<float>(i) / static_cast<float>(fade);
      tail[end - 2 * (i + 1)] *= gain;
      tail[end - 2 * (i + 1) + 1] *= gain;
    }
  }
  return static_cast<int64_t>(std::max<std::size_t>(end / 2, 1));
}

// Mixes the song up to its last note on a thread of its own, a few blocks ahead of the thread that
// converts and writes them: the two halves of the work cost about the same, so both cores help, and
// on a busy machine two threads get twice the share of the processors.
class MixAhead {
 public:
  MixAhead(SongMixer& mixer, int64_t end) : mixer_(mixer), end_(end), thread_([this] { Run(); }) {}
  MixAhead(const MixAhead&) = delete;
  MixAhead& operator=(const MixAhead&) = delete;
  ~MixAhead() {
    {
      std::lock_guard<std::mutex> guard(lock_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  // The next block (interleaved stereo) and its frames; 0 frames when the mixer failed.
  std::pair<const float*, int> Next() {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait(guard, [this] { return mixed_ > taken_ || failed_; });
    if (mixed_ == taken_) return {nullptr, 0};
    const Block& block = blocks_[taken_ % blocks_.size()];
    return {block.Samples.data(), block.Frames};
  }
  // The block from Next has been written: its buffer can take another.
  void Done() {
    {
      std::lock_guard<std::mutex> guard(lock_);
      ++taken_;
    }
    changed_.notify_all();
  }

 private:
  struct Block {
    std::vector<float> Samples = std::vector<float>(2 * kBlockFrames);
    int Frames = 0;
  };

  void Run() {
    try {
      for (int64_t at = 0; at < end_;) {
        Block* block;
        {
          std::unique_lock<std::mutex> guard(lock_);
          changed_.wait(guard, [this] { return stop_ || mixed_ - taken_ < blocks_.size(); });
          if (stop_) return;
          block = &blocks_[mixed_ % blocks_.size()];
        }
        block->Frames = static_cast<int>(std::min<int64_t>(kBlockFrames, end_ - at));
        mixer_.Mix(block->Samples.data(), block->Frames);
        at += block->Frames;
        {
          std::lock_guard<std::mutex> guard(lock_);
          ++mixed_;
        }
        changed_.notify_all();
      }
    } catch (...) {  // out of memory for a sound: the export fails instead of the program
      {
        std::lock_guard<std::mutex> guard(lock_);
        failed_ = true;
      }
      changed_.notify_all();
    }
  }

  SongMixer& mixer_;
  const int64_t end_;
  std::array<Block, 4> blocks_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::size_t mixed_ = 0, taken_ = 0;  // blocks mixed and written so far
  bool stop_ = false, failed_ = false;
  std::thread thread_;  // last: starts once everything it uses exists
};

}  // namespace

AudioExportResult ExportAudio(const Osnova& doc, const std::string& path, const AudioExportSettings& settings,
                              const AudioProgress& progress, std::string& error) {
  const std::optional<AudioFormat> format = AudioFormatOf(path);
  if (!format) {
    error = "Unknown audio format: use .wav, .flac or .ogg";
    return AudioExportResult::Failed;
  }
  const int tempo = std::clamp(settings.Tempo, 1, kMaxTempo);
  SongClick click{settings.Click, settings.ClickVolume};
  const int64_t lastNote = SongNotes(doc, tempo, settings.Kit, click).LastNoteFrame();
  if (lastNote < 0) {
    error = kSilentSongMessage;
    return AudioExportResult::Failed;
  }
  std::string soundFont = settings.SoundFont;
  if (soundFont.empty() && !FluidSynthDevice::FindConfiguredSoundFont(soundFont, error))
    return AudioExportResult::Failed;

  const int64_t tailFrames = int64_t{kAudioTailSeconds} * kRate;
  int64_t expected = lastNote + tailFrames;
  SoundFileWriter writer;  // opened first: a folder that cannot be written fails at once
  if (!writer.Open(path, *format, kRate, expected, error)) return AudioExportResult::Failed;
  DrumSoundBank bank;
  if (!bank.Open(soundFont, error)) return AudioExportResult::Failed;
  if (click.Mode != ClickMode::Off) FindClickKeys(bank, click.AccentKey, click.BeatKey);
  SongMixer mixer(doc, tempo, settings.Kit, bank, click);

  int64_t done = 0;
  int blocks = 0;
  auto carryOn = [&] { return !progress || progress(done, expected); };
  if (!carryOn()) return AudioExportResult::Cancelled;

  {
    MixAhead ahead(mixer, lastNote);
    while (done < lastNote) {
      const auto [samples, frames] = ahead.Next();
      if (frames == 0) {
        error = "Out of memory while rendering the song";
        return AudioExportResult::Failed;
      }
      if (!writer.Write(samples, frames, error)) return AudioExportResult::Failed;
      ahead.Done();
      done += frames;
      if (++blocks % kBlocksPerReport == 0 && !carryOn()) return AudioExportResult::Cancelled;
    }
  }  // the mixer is this thread's again

  // From the last note on, the end is only known once the sound is there.
  std::vector<float> tail(2 * static_cast<std::size_t>(tailFrames));
  for (int64_t at = 0; at < tailFrames; at += kBlockFrames)
    mixer.Mix(tail.data() + 2 * at, static_cast<int>(std::min<int64_t>(kBlockFrames, tailFrames - at)));
  const int64_t keep = TailLength(tail);
  expected = lastNote + keep;
  if (!writer.Write(tail.data(), keep, error)) return AudioExportResult::Failed;
  done += keep;
  if (!carryOn()) return AudioExportResult::Cancelled;
  if (!writer.Commit(error)) return AudioExportResult::Failed;
  return AudioExportResult::Done;
}
