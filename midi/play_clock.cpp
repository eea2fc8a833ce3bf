#include "midi/play_clock.h"

#include <cstdio>

namespace {
constexpr int kTickMilliseconds = 1000;
}

void TClock::Start(ClockTimer& timer, uint8_t minutes, uint8_t seconds) {
  Minutes = minutes;
  Seconds = seconds;
  timer.StartTicking(kTickMilliseconds);
}

void TClock::Tick() {
  if (Seconds >= 59) {
    Seconds = 0;
    Minutes = Minutes >= 59 ? 0 : static_cast<uint8_t>(Minutes + 1);
  } else {
    ++Seconds;
  }
}

std::string TClock::AsText() const {
  char text[8];
  std::snprintf(text, sizeof text, "%02u:%02u", static_cast<unsigned>(Minutes % 100),
                static_cast<unsigned>(Seconds % 100));
  return text;
}

void TClock::Stop(ClockTimer& timer) { timer.StopTicking(); }
