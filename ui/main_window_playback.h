// What the main window keeps for playback: the engine with its clock and the clock label's timer.
#pragma once

#include <QTimer>
#include <memory>
#include <mutex>

#include "midi/frame_clock.h"
#include "midi/play_clock.h"
#include "midi/playback.h"
#include "midi/playback_controller.h"
#include "midi/timed_output.h"
#include "ui/practice_panel.h"
#include "ui/main_window.h"

// The one-second timer `Time` as the clock sees it.
class QtClockTimer : public ClockTimer {
 public:
  explicit QtClockTimer(QTimer* timer) : timer_(timer) {}
  void StartTicking(int intervalMilliseconds) override {
    timer_->start(IntervalOverride > 0 ? IntervalOverride : intervalMilliseconds);
  }
  void StopTicking() override { timer_->stop(); }
  int IntervalOverride = 0;  // tests count faster

 private:
  QTimer* timer_;
};

struct WindowPlayback {
  explicit WindowPlayback(QTimer* time) : Time(time), TimeTicks(time) {}
  // The playback controller: the engine, its clock and the device handle (named as the window's
  // destructor stops it: `playback_->Engine->Stop()`).
  std::unique_ptr<PlaybackController> Engine;
  std::unique_ptr<PracticePanel> Practice;
  TClock Elapsed;  // the clock of the label LTime
  QTimer* Time;
  QtClockTimer TimeTicks;
  PlayPosition Shown;    // where playback last put the cursor
  uint64_t RunSerial = 0;  // the engine's serial as the current run started
  bool Applying = false;  // the cursor moves for playback, not for the user
};
