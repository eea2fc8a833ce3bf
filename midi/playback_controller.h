// Playback as the window (or any front end) drives it: the engine, the clock it runs on when the
// device cannot take steps ahead of time, and the handle of the device it sends to. It is told of
// every device change and sends from the next column to the new device. Members are declared so
// the engine (its thread joined) goes before the outputs and the handle it uses.
// Qt-free: the document and the posting of steps are injected, as for the engine.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "midi/frame_clock.h"
#include "midi/midi_output.h"
#include "midi/play_clock.h"
#include "midi/playback.h"
#include "midi/timed_output.h"

class PlaybackController {
 public:
  PlaybackController(std::mutex& documentLock, TMetronom::DocumentSource document, TMetronom::StepPoster post,
                     const KitRows* kit = nullptr);
  ~PlaybackController();
  PlaybackController(const PlaybackController&) = delete;
  PlaybackController& operator=(const PlaybackController&) = delete;

  // Stops playback and runs on `clock` from now on. A test's clock (`injected`) sends every step the
  // direct way, when it is due on that clock, whatever the device.
  void SetClock(std::unique_ptr<PlayClock> clock, bool injected);
  TMetronom& Engine() { return *engine_; }

  // Starts the engine with the device open now.
  bool Play(uint8_t mode, PlayPosition from, int tempo, bool loop, const PracticeOptions& practice);
  void Stop() { engine_->Stop(); }
  bool Running() const { return engine_->Running(); }

  // The device change: `reopen` closes the device and opens one into MidiOut; no step is sent while
  // it runs, and steps from then on go to MidiOut as it is after it. Returns what `reopen` returned.
  bool ReopenDevice(const std::function<bool()>& reopen);
  // MidiOut was opened anew without ReopenDevice: steps from now on go there.
  void UseOpenDevice();
  // True when playback runs on an output the open device no longer plays through (the built-in
  // synthesizer's mixer, an ALSA queue): the run must start again on the new output.
  bool NeedsNewOutput();

 private:
  TimedOutput& ChooseOutput();
  void SendNow(const std::vector<uint32_t>& messages);

  std::mutex& documentLock_;
  TMetronom::DocumentSource document_;
  TMetronom::StepPoster post_;
  const KitRows* kit_;
  bool injected_ = false;
  std::unique_ptr<PlayClock> clock_;
  std::unique_ptr<PlayClockFrames> frames_;
  std::mutex deviceLock_;  // the handle, and every step sent the direct way
  TMidiOut device_;
  std::unique_ptr<DirectTimedOutput> direct_;
  TimedOutput* chosen_ = nullptr;  // the output of the current run
  std::unique_ptr<TMetronom> engine_;  // last: stopped and joined before everything it uses goes
};
