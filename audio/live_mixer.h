// Live playback on the built-in synthesizer: each step's notes are voiced on the playback thread a
// little ahead of time and mixed into the synthesizer's audio callback at their exact frames, with
// the code the audio export mixes with, so playback sounds like the export to the sample. The frames
// the callback has rendered are playback's clock.
//
// The callback never waits for the playback thread: the voiced notes reach it through a lock-free
// queue, and a cancel or a restart of the output is an atomic counter it reads, so a playback thread
// descheduled on a busy machine can never hold up a period.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/drum_sound_bank.h"
#include "audio/note_player.h"
#include "audio/spsc_ring.h"
#include "midi/output/fluid_synth_device.h"
#include "midi/timed_output.h"

class LiveMixer : public TimedOutput, public FrameClock, public AudioRenderHook {
 public:
  // Steps are handed over this far ahead: enough for the playback thread to wake late on a busy
  // machine (normal priority) and still be in time; edits are heard from the column after it.
  static constexpr int64_t kLookaheadFrames = 2048;  // 46 ms
  // The buffer a run asks of an output that can change it: its thread may then go unscheduled for
  // that long on a machine whose cores are busy with other work, and nothing is heard late.
  static constexpr int64_t kPlayingBufferFrames = 8192;  // 186 ms

  // Microseconds on a steady clock (the MIDI log's unless a test gives its own).
  using MicrosSource = std::function<int64_t()>;

  // `soundFont` empty: the one the program plays with. `latencyFrames`: from rendered to heard.
  explicit LiveMixer(std::string soundFont = {}, int64_t latencyFrames = 0, MicrosSource micros = {});
  ~LiveMixer() override;

  // TimedOutput, on the playback thread.
  FrameClock& Clock() override { return *this; }
  int64_t Lookahead() const override { return kLookaheadFrames; }
  bool PlacesGraceStrokes() const override { return true; }
  // Loads the sounds once (a few hundred ms the first time), asks for the playing buffer and, from
  // an output that can change its buffer, waits until it has it (a few milliseconds).
  bool Begin(std::string& error) override;
  void Schedule(const TimedColumn& step) override;
  // Also gives the output its own buffer back and has it drop what it holds: the notes struck in
  // there are not heard, those heard already ring on without a jump.
  void Cancel() override;

  // FrameClock. The frames the output may have taken by now: those rendered and, until its thread
  // comes back for the next period, the time since the last one, up to the output's latency (all it
  // can take at once after its thread was held up). Playback hands steps over a lookahead before
  // that, so a late output thread finds them in time; never goes back.
  int64_t Now() override;
  // The frames rendered so far.
  int64_t Rendered() const { return rendered_.load(); }
  int64_t Latency() override { return latency_.load(); }
  void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, int64_t frame) override;
  int64_t MicrosOfFrame(int64_t frame) override;

  // AudioRenderHook, on the audio thread (or a test's).
  void Render(float* left, float* right, int frames) override;
  void OutputRestarted() override;
  void OutputLatency(int64_t frames) override { latency_.store(frames); }
  int64_t BufferFramesWanted() override {
    resizable_.store(true);
    return wanted_.load();
  }
  bool FlushWanted() override { return flush_.exchange(false); }
  void OutputFlushed(int64_t frames) override;

  // The metronome's keys in this soundfont.
  uint8_t AccentKey() const { return accentKey_; }
  uint8_t BeatKey() const { return beatKey_; }
  // Frames mixed late since the start (a step handed over after its frame was rendered): 0 when
  // everything was on time.
  int64_t LateNotes() const { return late_.load(); }

 private:
  std::string soundFont_;
  MicrosSource micros_;
  std::atomic<int64_t> latency_;  // as configured until the output measures it
  std::unique_ptr<DrumSoundBank> bank_;  // playback thread
  std::unique_ptr<NoteVoicing> voicing_;
  uint8_t accentKey_ = kHighWoodBlock, beatKey_ = kLowWoodBlock;

  // Playback thread -> audio thread. Each command carries the epoch it was voiced in; Cancel and an
  // output restart start a new epoch, and the callback drops what belongs to an older one.
  struct Pending {
    uint32_t Epoch = 0;
    VoiceCommand Command;
  };
  SpscRing<Pending, 1024> pending_;
  std::atomic<uint32_t> epoch_{0};
  std::atomic<bool> restart_{false};
  std::atomic<int64_t> wanted_{0};       // the buffer asked of the output
  std::atomic<bool> resizable_{false};  // the output asks for it
  std::atomic<bool> flush_{false};

  // Audio thread.
  VoiceMixer voices_;
  uint32_t seenEpoch_ = 0;
  std::vector<float> buffer_;
  int64_t position_ = 0;

  std::atomic<int64_t> rendered_{0};
  std::atomic<int64_t> now_{0};  // the highest Now() returned
  std::atomic<int64_t> callbackFrame_{0};   // frame at the start of the last callback
  std::atomic<int64_t> callbackMicros_{0};  // when it ran, on the MIDI log's clock
  std::atomic<int64_t> late_{0};
};
