// The cursor of the tab: where in the view note entry lands and how far a step moves it.
#pragma once

#include <cstdint>

struct TCursor {
  uint8_t Column = 0;  // character column in the cursor's view line (0..63 at the first size)
  uint8_t Line = 0;    // view line (0 or 1 at the first size)
  uint8_t Pace = 4;    // step of StepRight/StepLeft in sixteenths, 1..16
};
