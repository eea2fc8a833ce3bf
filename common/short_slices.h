// Short time slices for a thread that must run soon after it wakes (an audio output's, playback's)
// while other programs keep every core busy, without raising its priority or changing its policy.
#pragma once

#include <cstdint>

// Asks the scheduler for slices of `nanoseconds` for the calling thread (an ordinary thread keeps
// its policy and nice value). Since Linux 6.12 a thread with a shorter slice than the ones running
// gets the processor as soon as it wakes instead of after their slices; older kernels ignore it.
// False when the kernel refused.
bool RequestShortTimeSlices(uint64_t nanoseconds);
