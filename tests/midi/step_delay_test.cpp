#include "midi/step_delay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

// Milliseconds of one sixteenth at a tempo; 16 and 48 are the cases where plain double
// arithmetic (or an exact fraction) rounds the other way.
TEST(StepDelay, GivesTheNearestMillisecondsPerSixteenth) {
  const std::pair<int, int> table[] = {
      {1, 15000}, {7, 2143}, {16, 937}, {48, 312}, {60, 250}, {80, 188}, {100, 150},
      {120, 125}, {140, 107}, {160, 94}, {240, 62}, {300, 50}, {400, 38}, {1024, 15}};
  for (auto [tempo, delay] : table) EXPECT_EQ(ComputeStepDelay(tempo), delay) << "tempo " << tempo;
}

TEST(StepDelay, TempoOutsideTheBoxRangeIsBroughtIntoIt) {
  EXPECT_EQ(ComputeStepDelay(0), ComputeStepDelay(1));
  EXPECT_EQ(ComputeStepDelay(-5), 15000);
  EXPECT_EQ(ComputeStepDelay(5000), ComputeStepDelay(1024));
}

TEST(StepDelay, NeverGrowsWithTheTempoAndStaysNearTheExactValue) {
  for (int tempo = 2; tempo <= 1024; ++tempo) {
    EXPECT_LE(ComputeStepDelay(tempo), ComputeStepDelay(tempo - 1)) << "tempo " << tempo;
    const double exact = 15000.0 / tempo;
    EXPECT_LE(std::abs(ComputeStepDelay(tempo) - exact), 0.5 + 1e-9) << "tempo " << tempo;
  }
}
