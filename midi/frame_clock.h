// Playback time counted in frames of 44.1 kHz audio. The built-in synthesizer's audio callback is the
// clock when it plays (so notes land on the frames the output actually takes); otherwise a monotonic
// clock is read as frames. The tempo grid is kept in frames as an exact fraction.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "midi/play_clock.h"

inline constexpr int64_t kFrameRate = 44100;

// The first frame of sixteenth `steps` after a point of the grid, at `centiBpm` hundredths of a
// quarter note per minute: steps x 44100 x 15 x 100 / centiBpm frames, to the nearest frame. Only this
// one division is rounded, so no error adds up from step to step.
constexpr int64_t SixteenthsToFrames(int64_t steps, int64_t centiBpm) {
  const int64_t c = centiBpm < 1 ? 1 : centiBpm;
  const int64_t num = steps * (2 * kFrameRate * 15 * 100);
  return num >= 0 ? (num + c) / (2 * c) : -((-num + c) / (2 * c));
}

class FrameClock {
 public:
  virtual ~FrameClock() = default;
  // Frames the output has taken so far: a note scheduled at an earlier frame is late.
  virtual int64_t Now() = 0;
  // Frames between being taken and being heard (the output's buffers).
  virtual int64_t Latency() { return 0; }
  // Called with `lock` held; returns with it held once Now() >= frame, when `wake` is notified, or
  // spuriously. The caller checks again.
  virtual void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, int64_t frame) = 0;
  // When `frame` is heard, in microseconds on the MIDI log's clock.
  virtual int64_t MicrosOfFrame(int64_t frame) = 0;
};

// A PlayClock read as frames from the moment of Restart (the program's clock, or a test's).
class PlayClockFrames : public FrameClock {
 public:
  explicit PlayClockFrames(PlayClock& clock) : clock_(clock), origin_(clock.Now()) {}
  void Restart() { origin_ = clock_.Now(); }
  int64_t Now() override;
  void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, int64_t frame) override;
  int64_t MicrosOfFrame(int64_t frame) override;
  PlayClock::TimePoint TimeOfFrame(int64_t frame) const;

 private:
  PlayClock& clock_;
  PlayClock::TimePoint origin_;
};
