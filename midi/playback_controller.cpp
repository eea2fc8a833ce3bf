#include "midi/playback_controller.h"

PlaybackController::PlaybackController(std::mutex& documentLock, TMetronom::DocumentSource document,
                                       TMetronom::StepPoster post, const KitRows* kit)
    : documentLock_(documentLock), document_(std::move(document)), post_(std::move(post)), kit_(kit) {
  SetClock(std::make_unique<SteadyPlayClock>(), false);
}

PlaybackController::~PlaybackController() {
  if (engine_) engine_->Stop();
  engine_.reset();
}

void PlaybackController::SetClock(std::unique_ptr<PlayClock> clock, bool injected) {
  if (engine_) engine_->Stop();
  engine_.reset();
  chosen_ = nullptr;
  injected_ = injected;
  clock_ = std::move(clock);
  frames_ = std::make_unique<PlayClockFrames>(*clock_);
  direct_ = std::make_unique<DirectTimedOutput>(*frames_, [this](const std::vector<uint32_t>& m) { SendNow(m); });
  engine_ = std::make_unique<TMetronom>(
      [this]() -> TimedOutput& {
        chosen_ = &ChooseOutput();
        return *chosen_;
      },
      documentLock_, document_, post_, kit_);
}

TimedOutput& PlaybackController::ChooseOutput() {
  // The built-in synthesizer mixes each step in at its frame, an ALSA port gets it on a sequencer
  // queue; anything else gets it when it is due.
  if (!injected_)
    if (MidiDeviceLayer* layer = CurrentMidiDeviceLayer())
      if (TimedOutput* timed = layer->PlaybackOutput()) return *timed;
  return *direct_;
}

void PlaybackController::SendNow(const std::vector<uint32_t>& messages) {
  const std::lock_guard<std::mutex> guard(deviceLock_);
  for (uint32_t msg : messages) SendShortMsg(device_, msg);
}

bool PlaybackController::Play(uint8_t mode, PlayPosition from, int tempo, bool loop, const PracticeOptions& practice) {
  UseOpenDevice();
  return engine_->Play(mode, from, tempo, loop, practice);
}

bool PlaybackController::ReopenDevice(const std::function<bool()>& reopen) {
  const std::lock_guard<std::mutex> guard(deviceLock_);
  const bool opened = reopen();
  device_ = MidiOut;
  return opened;
}

void PlaybackController::UseOpenDevice() {
  const std::lock_guard<std::mutex> guard(deviceLock_);
  device_ = MidiOut;
}

bool PlaybackController::NeedsNewOutput() { return engine_->Running() && &ChooseOutput() != chosen_; }
