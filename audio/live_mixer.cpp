#include "audio/live_mixer.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "audio/song_mixer.h"
#include "midi/note_strokes.h"

namespace {

int64_t NowMicros() { return MidiLogMicros(std::chrono::steady_clock::now()); }

}  // namespace

LiveMixer::LiveMixer(std::string soundFont, int64_t latencyFrames, MicrosSource micros)
    : soundFont_(std::move(soundFont)), micros_(micros ? std::move(micros) : MicrosSource(NowMicros)),
      latency_(latencyFrames) {}

int64_t LiveMixer::Now() {
  int64_t now = rendered_.load();
  if (const int64_t since = callbackMicros_.load(); since != 0) {
    const int64_t elapsed = std::max<int64_t>(micros_() - since, 0) * kFrameRate / 1000000;
    now += std::min(elapsed, std::max<int64_t>(latency_.load(), 0));
  }
  int64_t seen = now_.load();
  while (now > seen && !now_.compare_exchange_weak(seen, now)) {
  }
  return std::max(now, seen);
}

LiveMixer::~LiveMixer() = default;

bool LiveMixer::Begin(std::string& error) {
  if (!bank_) {
    std::string path = soundFont_;
    if (path.empty() && !FluidSynthDevice::FindConfiguredSoundFont(path, error)) return false;
    auto bank = std::make_unique<DrumSoundBank>();
    if (!bank->Open(path, error)) return false;
    // Every sound a tab can ask for, rendered now rather than during the first bars.
    for (int row = 1; row < kRowCount; ++row)
      for (uint8_t variant = 0; variant < 4; ++variant)
        if (const uint8_t key = DrumNoteOf(static_cast<uint8_t>(row), variant))
          for (uint8_t velocity : {uint8_t{94}, uint8_t{127}}) bank->Sound(key, velocity);
    // General MIDI 2 metronome keys where the soundfont's kit has them.
    FindClickKeys(*bank, accentKey_, beatKey_);
    for (ClickKind kind : {ClickKind::Accent, ClickKind::Beat})
      for (int volume = 0; volume <= 100; volume += 100)
        bank->Sound(kind == ClickKind::Accent ? accentKey_ : beatKey_, ClickVelocity(kind, volume));
    voicing_ = std::make_unique<NoteVoicing>(*bank);
    bank_ = std::move(bank);
  }
  voicing_->Forget();
  wanted_.store(kPlayingBufferFrames);
  if (resizable_.load()) {
    // The output fills the larger buffer at once: the run starts after that, or steps handed over
    // a lookahead ahead would already have been rendered.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (latency_.load() < kPlayingBufferFrames * 3 / 4 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void LiveMixer::Schedule(const TimedColumn& step) {
  if (!voicing_) return;
  const int64_t micros = MicrosOfFrame(step.Frame);
  for (uint32_t msg : ColumnMessages(step, accentKey_, beatKey_)) LogShortMsgAt(msg, micros);
  std::vector<VoiceCommand> commands;
  auto play = [&](uint8_t key, uint8_t velocity, float gain) {
    if (key != 0) voicing_->Start(AudioNote{step.Frame, key, velocity, gain}, commands);
  };
  if (step.HasColumn) {
    // The same strokes as the audio export; a grace stroke is early by its offset.
    StrokeList strokes;
    for (int row = 1; row < kRowCount; ++row) AddCellStrokes(row, step.Column.Cells[static_cast<std::size_t>(row)], strokes);
    if (step.Column.Foot) AddFootStroke(strokes);
    strokes.SortByOffset();
    for (const Stroke& s : strokes) {
      AudioNote note{step.StrokeFrame(s.Offset), s.Key, s.Velocity, 1.0f, s.Choke};
      if (note.Key != 0) voicing_->Start(note, commands);
    }
  }
  if (step.Click != ClickKind::None && step.ClickVolume > 0) {
    // The click's own volume: its velocity sets the timbre, the gain the level.
    const uint8_t velocity = ClickVelocity(step.Click, 100);
    play(step.Click == ClickKind::Accent ? accentKey_ : beatKey_, velocity,
         static_cast<float>(std::clamp(step.ClickVolume, 0, 100)) / 100.0f);
  }
  if (step.Frame < rendered_.load()) late_.fetch_add(1);  // begun already: only its rest is heard
  const uint32_t epoch = epoch_.load();
  for (VoiceCommand& command : commands)
    if (!pending_.Push(Pending{epoch, std::move(command)})) late_.fetch_add(1);  // never with a sane lookahead
}

void LiveMixer::OutputFlushed(int64_t frames) {
  // The output will next play the frame `frames` before the end of what was rendered.
  position_ = std::max<int64_t>(position_ - std::max<int64_t>(frames, 0), 0);
  voices_.DropStartingAfter(position_);
  rendered_.store(position_);
  now_.store(position_);
}

void LiveMixer::Cancel() {
  wanted_.store(0);
  if (resizable_.load()) flush_.store(true);
  epoch_.fetch_add(1);
  if (voicing_) voicing_->Forget();
}

void LiveMixer::OutputRestarted() {
  restart_.store(true);
  epoch_.fetch_add(1);
}

void LiveMixer::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, int64_t frame) {
  // The audio thread cannot wake playback's thread without a lock of its own, so this polls, at most
  // a few milliseconds late (the lookahead absorbs that).
  const int64_t left = frame - Now();
  if (left <= 0) return;
  const int64_t micros = std::clamp<int64_t>(left * 1000000 / kFrameRate, 200, 4000);
  wake.wait_for(lock, std::chrono::microseconds(micros));
}

int64_t LiveMixer::MicrosOfFrame(int64_t frame) {
  const int64_t at = callbackFrame_.load(), micros = callbackMicros_.load();
  if (micros == 0) return micros_() + (frame - Rendered() + latency_.load()) * 1000000 / kFrameRate;
  return micros + (frame - at + latency_.load()) * 1000000 / kFrameRate;
}

void LiveMixer::Render(float* left, float* right, int frames) {
  if (frames <= 0) return;
  if (restart_.exchange(false)) {
    // A new output: its frames count from 0 again, and nothing of the old one plays on.
    voices_.DropStartingAfter(-1);
    position_ = 0;
    rendered_.store(0);
    now_.store(0);
  }
  callbackMicros_.store(micros_());
  const uint32_t epoch = epoch_.load();
  if (epoch != seenEpoch_) {
    // Cancelled: what has begun rings out, nothing later starts.
    seenEpoch_ = epoch;
    voices_.DropStartingAfter(position_);
  }
  Pending pending;
  while (pending_.Pop(pending))
    if (pending.Epoch == epoch) voices_.Apply(pending.Command);
  callbackFrame_.store(position_);
  if (buffer_.size() < 2 * static_cast<std::size_t>(frames)) buffer_.resize(2 * static_cast<std::size_t>(frames));
  if (!voices_.Idle()) {
    std::fill(buffer_.begin(), buffer_.begin() + 2 * frames, 0.0f);
    voices_.Mix(buffer_.data(), position_, frames);
    for (int i = 0; i < frames; ++i) {
      left[i] += buffer_[2 * static_cast<std::size_t>(i)];
      right[i] += buffer_[2 * static_cast<std::size_t>(i) + 1];
    }
  }
  position_ += frames;
  rendered_.store(position_);
}
