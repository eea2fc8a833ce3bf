// The clocks of playback: the elapsed-time display `TClock` with its one-second timer, and the
// monotonic clock the playback thread keeps its deadlines on. Qt-free; the program gives the timer
// (a Qt timer) and tests give a clock they advance themselves.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

// The timer behind the clock label: ticks every interval until stopped.
class ClockTimer {
 public:
  virtual ~ClockTimer() = default;
  virtual void StartTicking(int intervalMilliseconds) = 0;
  virtual void StopTicking() = 0;
};

// Minutes and seconds of playback, 00:00 .. 59:59, then round again.
class TClock {
 public:
  uint8_t Minutes = 0;
  uint8_t Seconds = 0;

  void Start(ClockTimer& timer, uint8_t minutes, uint8_t seconds);
  void Tick();
  std::string AsText() const;  // "mm:ss"
  void Stop(ClockTimer& timer);
};

// Time as playback sees it. Deadlines are absolute points on a monotonic clock, so a late wake-up
// never shifts the columns after it.
class PlayClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~PlayClock() = default;
  virtual TimePoint Now() = 0;
  // Called with `lock` held; returns with it held, at the deadline, when `wake` is notified, or
  // spuriously. The caller checks what it waits for again.
  virtual void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                         TimePoint deadline) = 0;
};

// The real one: steady_clock, and condition_variable::wait_until on it (CLOCK_MONOTONIC).
class SteadyPlayClock : public PlayClock {
 public:
  TimePoint Now() override { return std::chrono::steady_clock::now(); }
  void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                 TimePoint deadline) override {
    wake.wait_until(lock, deadline);
  }
};
