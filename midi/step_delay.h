// The playback step: how long one sixteenth position lasts at a playback tempo.
#pragma once

#include <cstdint>

// Milliseconds per sixteenth at `tempo` quarter notes per minute, 250 / (tempo / 60), computed in
// extended precision and rounded to nearest with ties to even. Tempos outside 1..1024 (the playback
// tempo box's range) are brought into it first.
uint16_t ComputeStepDelay(int tempo);
