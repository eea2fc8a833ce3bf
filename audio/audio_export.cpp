#include "audio/audio_export.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/drum_sound_bank.h"
#include "audio/song_mixer.h"
#include "audio/sound_file_writer.h"
#include "midi/output/fluid_synth_device.h"
#include "common/cp1252.h"

namespace {

constexpr int kRate = DrumSoundBank::kSampleRate;
constexpr int kBlockFrames = 8192;
constexpr int kBlocksPerReport = 16;  // about 3 s of audio between progress calls

// Takes the DC out: a first-order high-pass at 5 Hz, far below any drum's lowest partial. Dense
// songs pile up the offsets of the soundfont's samples to -39 dBFS.
class DcBlocker {
 public:
  void Run(float* samples, int frames) {
    for (int c = 0; c < 2; ++c) {
      float x1 = x1_[c], y1 = y1_[c];
      for (int i = c; i < 2 * frames; i += 2) {
        const float x = samples[i];
        y1 = x - x1 + kPole * y1;
        x1 = x;
        samples[i] = y1;
      }
      // Silence would otherwise leave it decaying through denormals, which are slow.
      x1_[c] = std::fabs(x1) < 1e-15f ? 0.0f : x1;
      y1_[c] = std::fabs(y1) < 1e-15f ? 0.0f : y1;
    }
  }

 private:
  static constexpr float kPole = 1.0f - 2.0f * 3.14159265f * 5.0f / kRate;
  float x1_[2]{}, y1_[2]{};
};

float PeakOf(const float* samples, std::size_t count) {
  float peak = 0;
  for (std::size_t i = 0; i < count; ++i) peak = std::max(peak, std::fabs(samples[i]));
  return peak;
}

// The frames of `tail` (the ring-out after the last bar) worth keeping: up to where everything has
// fallen 60 dB below `level`, the loudest the last notes got. A tail still sounding at its end
// fades out.
int64_t TailLength(std::vector<float>& tail, float level) {
  const float threshold = std::max(level, PeakOf(tail.data(), tail.size())) * 1e-3f;
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
  return static_cast<int64_t>(end / 2);
}

// Mixes the song from the mixer's position to `end` on a thread of its own, DC removed, a few blocks
// ahead of the thread that converts and writes them: the two halves of the work cost about the
// same, so both cores help, and on a busy machine two threads get twice the share of the processors.
class MixAhead {
 public:
  MixAhead(SongMixer& mixer, DcBlocker& dc, int64_t end)
      : mixer_(mixer), dc_(dc), end_(end), thread_([this] { Run(); }) {}
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
      for (int64_t at = mixer_.Position(); at < end_;) {
        Block* block;
        {
          std::unique_lock<std::mutex> guard(lock_);
          changed_.wait(guard, [this] { return stop_ || mixed_ - taken_ < blocks_.size(); });
          if (stop_) return;
          block = &blocks_[mixed_ % blocks_.size()];
        }
        block->Frames = static_cast<int>(std::min<int64_t>(kBlockFrames, end_ - at));
        mixer_.Mix(block->Samples.data(), block->Frames);
        dc_.Run(block->Samples.data(), block->Frames);
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
  DcBlocker& dc_;
  const int64_t end_;
  std::array<Block, 4> blocks_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::size_t mixed_ = 0, taken_ = 0;  // blocks mixed and written so far
  bool stop_ = false, failed_ = false;
  std::thread thread_;  // last: starts once everything it uses exists
};

enum class Stop { None, Cancelled, Failed };

// Called with each block of the song; false stops the render.
using BlockSink = std::function<bool(const float* samples, int frames)>;

// One render of the song: the frames up to the end of its last bar with a note streamed to `sink`,
// then the ring-out, trimmed, in `tail` (interleaved, `keep` frames). Every render of the same
// song gives the same samples.
Stop Render(const Osnova& doc, int tempo, const std::array<uint8_t, kRowCount>& kit, const SongClick& click,
            DrumSoundBank& bank, const BlockSink& sink, std::vector<float>& tail, int64_t& keep) {
  SongMixer mixer(doc, tempo, kit, bank, click);
  SongNotes notes(doc, tempo, kit, click);
  const int64_t lastNote = notes.LastNoteFrame(), end = notes.MusicalEndFrame();
  DcBlocker dc;
  float level = 0;  // the loudest the last notes get
  {
    MixAhead ahead(mixer, dc, end);
    for (int64_t done = 0; done < end;) {
      const auto [samples, frames] = ahead.Next();
      if (frames == 0) return Stop::Failed;
      if (done + frames > lastNote) {
        const int64_t from = std::max<int64_t>(lastNote - done, 0);
        level = std::max(level, PeakOf(samples + 2 * from, static_cast<std::size_t>(2 * (frames - from))));
      }
      if (!sink(samples, frames)) return Stop::Cancelled;
      ahead.Done();
      done += frames;
    }
  }  // the mixer is this thread's again
  // The end of the ring-out is only known once the sound is there.
  const int64_t tailFrames = int64_t{kAudioTailSeconds} * kRate;
  tail.assign(2 * static_cast<std::size_t>(tailFrames), 0.0f);
  for (int64_t at = 0; at < tailFrames; at += kBlockFrames) {
    const int frames = static_cast<int>(std::min<int64_t>(kBlockFrames, tailFrames - at));
    mixer.Mix(tail.data() + 2 * at, frames);
    dc.Run(tail.data() + 2 * at, frames);
  }
  keep = TailLength(tail, level);
  return Stop::None;
}

AudioTags TagsOf(const Osnova& doc) {
  return {Utf8FromCp1252(doc.Song), Utf8FromCp1252(doc.Artist), Utf8FromCp1252(doc.Album)};
}

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
  const int64_t end = SongNotes(doc, tempo, settings.Kit, click).MusicalEndFrame();
  if (end < 0) {
    error = kSilentSongMessage;
    return AudioExportResult::Failed;
  }
  std::string soundFont = settings.SoundFont;
  if (soundFont.empty() && !FluidSynthDevice::FindConfiguredSoundFont(soundFont, error))
    return AudioExportResult::Failed;

  const int64_t tailFrames = int64_t{kAudioTailSeconds} * kRate;
  SoundFileWriter writer;  // opened first: a folder that cannot be written fails at once
  if (!writer.Open(path, *format, kRate, end + tailFrames, TagsOf(doc), error)) return AudioExportResult::Failed;
  DrumSoundBank bank;
  if (!bank.Open(soundFont, error)) return AudioExportResult::Failed;
  if (click.Mode != ClickMode::Off) FindClickKeys(bank, click.AccentKey, click.BeatKey);

  // Progress counts frames of the song; with normalising, the measuring render is the first half.
  const int passes = settings.Normalize ? 2 : 1;
  const int64_t total = end + tailFrames;
  int pass = 0;
  int64_t done = 0;
  int blocks = 0;
  auto carryOn = [&] {
    return !progress || progress((total * pass + done) / passes, total);
  };
  if (!carryOn()) return AudioExportResult::Cancelled;
  auto counted = [&](int frames) {
    done += frames;
    return ++blocks % kBlocksPerReport != 0 || carryOn();
  };
  auto failed = [&](Stop stop) {
    if (stop == Stop::Cancelled) return AudioExportResult::Cancelled;
    if (error.empty()) error = "Out of memory while rendering the song";
    return AudioExportResult::Failed;
  };

  std::vector<float> tail;
  int64_t keep = 0;
  if (settings.Normalize) {
    float peak = 0;
    const Stop measured = Render(doc, tempo, settings.Kit, click, bank, [&](const float* samples, int frames) {
      peak = std::max(peak, PeakOf(samples, 2 * static_cast<std::size_t>(frames)));
      return counted(frames);
    }, tail, keep);
    if (measured != Stop::None) return failed(measured);
    peak = std::max(peak, PeakOf(tail.data(), 2 * static_cast<std::size_t>(keep)));
    if (peak > 0) writer.SetGain(kNormalizedPeak / peak);
    pass = 1;
    done = 0;
  }
  const Stop written = Render(doc, tempo, settings.Kit, click, bank, [&](const float* samples, int frames) {
    return writer.Write(samples, frames, error) && counted(frames);
  }, tail, keep);
  if (written != Stop::None) return failed(!error.empty() ? Stop::Failed : written);
  if (!writer.Write(tail.data(), keep, error)) return AudioExportResult::Failed;
  done = total;
  if (!carryOn()) return AudioExportResult::Cancelled;
  if (!writer.Commit(error)) return AudioExportResult::Failed;
  return AudioExportResult::Done;
}
