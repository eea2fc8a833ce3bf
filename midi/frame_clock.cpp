#include "midi/frame_clock.h"

#include <algorithm>

#include "midi/midi_output.h"

int64_t PlayClockFrames::Now() {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(clock_.Now() - origin_).count();
  // Floor, so that the time of a frame (rounded up below) reads as that frame again.
  return ns >= 0 ? ns * kFrameRate / 1000000000 : -((-ns * kFrameRate + 999999999) / 1000000000);
}

PlayClock::TimePoint PlayClockFrames::TimeOfFrame(int64_t frame) const {
  frame = std::clamp<int64_t>(frame, -kFrameRate * 86400 * 365, kFrameRate * 86400 * 365);  // "never" stays in range
  const int64_t ns = frame >= 0 ? (frame * 1000000000 + kFrameRate - 1) / kFrameRate : -(-frame * 1000000000 / kFrameRate);
  return origin_ + std::chrono::nanoseconds(ns);
}

void PlayClockFrames::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, int64_t frame) {
  clock_.WaitUntil(lock, wake, TimeOfFrame(frame));
}

int64_t PlayClockFrames::MicrosOfFrame(int64_t frame) { return MidiLogMicros(TimeOfFrame(frame)); }
