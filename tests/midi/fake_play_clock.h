// A play clock for tests: time moves only when playback waits, straight to the deadline, and only
// as many waits as the test has granted. Then playback parks until the test grants more or stops it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "midi/play_clock.h"

class FakePlayClock : public PlayClock {
 public:
  TimePoint Now() override {
    std::lock_guard<std::mutex> guard(lock_);
    return now_;
  }

  void WaitUntil(std::unique_lock<std::mutex>& engineLock, std::condition_variable& wake,
                 TimePoint deadline) override {
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (deadline <= now_) return;
      if (budget_ > 0) {
        --budget_;
        now_ = deadline;
        return;
      }
      parkedLock_ = engineLock.mutex();
      parkedWake_ = &wake;
      parked_ = true;
    }
    changed_.notify_all();
    wake.wait(engineLock);  // Grant or the engine itself (stop, tempo, cursor) wakes it
    std::lock_guard<std::mutex> guard(lock_);
    parked_ = false;
  }

  // Lets playback wait `steps` more times.
  void Grant(int steps) {
    std::mutex* parkedLock;
    std::condition_variable* parkedWake;
    {
      std::lock_guard<std::mutex> guard(lock_);
      budget_ += steps;
      parked_ = false;
      parkedLock = parkedLock_;
      parkedWake = parkedWake_;
    }
    if (parkedLock) {
      // Under the engine's lock, so the wake-up cannot fall between its check and its wait.
      std::lock_guard<std::mutex> guard(*parkedLock);
      parkedWake->notify_all();
    }
  }

  // Waits (in real time, generously) until playback used up its grant and waits again.
  bool WaitParked(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, timeout, [this] { return parked_ && budget_ == 0; });
  }

  void Advance(std::chrono::milliseconds by) {
    std::lock_guard<std::mutex> guard(lock_);
    now_ += by;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  TimePoint now_{std::chrono::seconds(1000)};
  int budget_ = 0;
  bool parked_ = false;
  std::mutex* parkedLock_ = nullptr;
  std::condition_variable* parkedWake_ = nullptr;
};
