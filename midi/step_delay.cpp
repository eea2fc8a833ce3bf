#include "midi/step_delay.h"

#include <algorithm>
#include <cfenv>
#include <cmath>

#include "model/tab_document.h"

uint16_t ComputeStepDelay(int tempo) {
  tempo = std::clamp(tempo, 1, kMaxTempo);
  // The two divisions must stay in long double (80-bit on x86-64): 16 and 48 give quotients just
  // below .5 there, so they round down to 937 and 312 where double or exact arithmetic would not.
  const long double bpm = static_cast<long double>(tempo);
  const long double quarterPerSecond = bpm / 60.0L;
  const long double delay = 250.0L / quarterPerSecond;
  const int oldMode = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const long double rounded = std::nearbyint(delay);
  std::fesetround(oldMode);
  return static_cast<uint16_t>(rounded);
}
