#include "files/notation_rhythm.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

uint64_t Onsets(std::initializer_list<int> positions) {
  uint64_t set = 0;
  for (int p : positions) set |= uint64_t{1} << p;
  return set;
}

// "n4" a quarter note, "r2" an eighth rest, "R16" a whole-bar rest; beams as "[" begin, "-"
// continue, "]" end, ">" forward hook, "<" backward hook, level 1 then level 2.
std::string Describe(const std::vector<RhythmItem>& items) {
  std::string out;
  for (const RhythmItem& item : items) {
    if (!out.empty()) out += ' ';
    out += item.WholeBar ? 'R' : item.Rest ? 'r' : 'n';
    out += std::to_string(item.Sixteenths);
    for (Beam beam : item.Beams) {
      static const char kMarks[] = " [-]><";
      if (beam != Beam::None) out += kMarks[static_cast<int>(beam)];
    }
  }
  return out;
}

TEST(NotationRhythm, MetersAndTheirBeats) {
  struct Case {
    int Length, Denominator;
    Meter Written;
    std::vector<int> Groups;
  };
  const Case cases[] = {
      {16, 4, {4, 4}, {4, 4, 4, 4}},   {8, 4, {2, 4}, {4, 4}},       {12, 8, {6, 8}, {6, 6}},
      {24, 8, {12, 8}, {6, 6, 6, 6}},  {14, 8, {7, 8}, {4, 4, 6}},   {10, 8, {5, 8}, {4, 6}},
      {2, 8, {1, 8}, {2}},             {17, 16, {17, 16}, {4, 4, 4, 5}}, {3, 16, {3, 16}, {3}},
      {1, 16, {1, 16}, {1}},           {64, 4, {16, 4}, std::vector<int>(16, 4)},
      {6, 16, {6, 16}, {4, 2}},        {7, 4, {7, 16}, {4, 3}},  // no whole quarters: sixteenths
  };
  for (const Case& c : cases) {
    const Meter meter = MeterOf(c.Length, c.Denominator);
    EXPECT_EQ(meter, c.Written) << c.Length << "/" << c.Denominator;
    EXPECT_EQ(BeatGroups(meter), c.Groups) << c.Length << "/" << c.Denominator;
  }
}

TEST(NotationRhythm, GroovesReadAsADrummerWritesThem) {
  const Meter common{4, 4};
  // Hi-hat eighths: beamed in pairs per beat.
  EXPECT_EQ(Describe(VoiceRhythm(Onsets({0, 2, 4, 6, 8, 10, 12, 14}), common)),
            "n2[ n2] n2[ n2] n2[ n2] n2[ n2]");
  // Bass drum on 1 and 3: notes keep to their beat, rests fill it.
  EXPECT_EQ(Describe(VoiceRhythm(Onsets({0, 8}), common)), "n4 r4 n4 r4");
  // Two silent beats from the bar's middle make a half rest; from beat 2 they do not.
  EXPECT_EQ(Describe(VoiceRhythm(Onsets({0}), common)), "n4 r4 r8");
  EXPECT_EQ(Describe(VoiceRhythm(Onsets({0, 12}), common)), "n4 r4 r4 n4");
  EXPECT_EQ(Describe(VoiceRhythm(0, common)), "R16");
  EXPECT_EQ(Describe(VoiceRhythm(0, {7, 8})), "R14");
  // Dotted eighth and sixteenth, both ways round, with the sixteenth's hook.
  EXPECT_EQ(Describe(VoiceRhythm(Onsets({0, 3, 4, 5}), {2, 4})), "n3[ n1]< n1[> n3]");
  // Off-beat sixteenths: rests off the eighth are sixteenths, before the beat eighths.
  EXPECT_EQ(Describe(VoiceRhythm(Onsets({3, 5, 6, 7}), {2, 4})), "r2 r1 n1 r1 n1[[ n1-- n1]]");
  // All four sixteenths: one beam, two levels.
  EXPECT_EQ(Describe(VoiceRhythm(Onsets({0, 1, 2, 3}), {1, 4})), "n1[[ n1-- n1-- n1]]");
  // Compound time: a dotted quarter fills a silent-free beat, eighths beam in threes.
  EXPECT_EQ(Describe(VoiceRhythm(Onsets({0, 6, 8, 10}), {6, 8})), "n6 n2[ n2- n2]");
  EXPECT_EQ(Describe(VoiceRhythm(Onsets({6}), {6, 8})), "r6 n6");
  // A note with five sixteenths to fill is a quarter and a rest, never a tie.
  EXPECT_EQ(Describe(VoiceRhythm(Onsets({12}), {17, 16})), "r4 r4 r4 n4 r1");
}

// Whatever the notes and meter: the items cover the bar end to end, every note starts on an onset
// and every onset has one, no note crosses its beat, and every value can be written.
TEST(NotationRhythm, AnyBarIsCoveredExactlyWithWritableValues) {
  std::mt19937_64 rng(25);
  const std::set<int> writable = {1, 2, 3, 4, 6, 8};
  for (int length = 1; length <= 64; ++length) {
    for (int denominator : {4, 8, 16}) {
      const Meter meter = MeterOf(length, denominator);
      std::vector<int> groupOf;
      for (int size : BeatGroups(meter)) groupOf.insert(groupOf.end(), static_cast<std::size_t>(size), static_cast<int>(groupOf.size()));
      ASSERT_EQ(static_cast<int>(groupOf.size()), length);
      for (int trial = 0; trial < 20; ++trial) {
        const uint64_t onsets = rng() & rng();
        const uint64_t inBar = length == 64 ? onsets : onsets & ((uint64_t{1} << length) - 1);
        uint64_t seen = 0;
        int at = 0;
        for (const RhythmItem& item : VoiceRhythm(onsets, meter)) {
          ASSERT_EQ(item.Start, at) << length << "/" << denominator;
          if (item.WholeBar) {
            EXPECT_EQ(inBar, 0u);
            EXPECT_EQ(item.Sixteenths, length);
          } else {
            EXPECT_TRUE(writable.count(item.Sixteenths)) << item.Sixteenths;
            if (item.Sixteenths != 8) {
              EXPECT_EQ(groupOf[static_cast<std::size_t>(at)], groupOf[static_cast<std::size_t>(at + item.Sixteenths - 1)]);
            }
          }
          if (!item.Rest) {
            EXPECT_TRUE((inBar >> item.Start) & 1u);
            seen |= uint64_t{1} << item.Start;
          } else {
            for (int p = item.Start; p < item.Start + item.Sixteenths; ++p) EXPECT_FALSE((inBar >> p) & 1u);
          }
          at += item.Sixteenths;
        }
        EXPECT_EQ(at, length);
        EXPECT_EQ(seen, inBar);
      }
    }
  }
}

// Bars of every other grid are covered exactly, each note and rest written with a value whose
// time (a triplet's two thirds of it) is the time it lasts, tuplets closed within their beat.
TEST(NotationRhythm, GridBarsAreWrittenAtTheirTrueDurations) {
  std::mt19937_64 rng(31);
  const std::set<int> writable = {1, 2, 3, 4, 6, 8, 12, 16, 24, 32};
  for (BarGrid grid : {BarGrid::ThirtySeconds, BarGrid::EighthTriplets, BarGrid::SixteenthTriplets, BarGrid::Mixed}) {
    for (int numerator = 1; numerator <= 16; ++numerator) {
      for (int denominator : {4, 8, 16}) {
        const int length = GridLength(numerator, denominator, grid);
        if (length == 0) continue;
        const Meter meter = MeterOf(static_cast<int>(length * CellUnits(grid) / 1200), denominator);
        for (int trial = 0; trial < 20; ++trial) {
          const uint64_t onsets = trial == 0 ? 0 : rng() & rng();
          const uint64_t inBar = length == 64 ? onsets : onsets & ((uint64_t{1} << length) - 1);
          uint64_t seen = 0;
          int at = 0;
          bool inTuplet = false;
          for (const GridRhythmItem& item : GridVoiceRhythm(onsets, grid, length, meter)) {
            ASSERT_EQ(item.Start, at) << GridName(grid) << " " << numerator << "/" << denominator;
            if (item.WholeBar) {
              EXPECT_EQ(inBar, 0u);
              EXPECT_EQ(item.Cells, length);
            } else {
              EXPECT_TRUE(writable.count(item.Written)) << item.Written;
              EXPECT_EQ(item.Cells * CellUnits(grid) * item.Actual, int64_t{item.Written} * 600 * item.Normal)
                  << GridName(grid) << " at " << at;
              EXPECT_EQ(item.Actual != item.Normal, inTuplet || item.TupletStart) << GridName(grid) << " at " << at;
              EXPECT_EQ(item.TupletStart, item.Actual != item.Normal && !inTuplet);
              inTuplet = (inTuplet || item.TupletStart) && !item.TupletStop;
            }
            if (!item.Rest) {
              EXPECT_TRUE((inBar >> item.Start) & 1u);
              seen |= uint64_t{1} << item.Start;
            } else {
              for (int p = item.Start; p < item.Start + item.Cells; ++p) EXPECT_FALSE((inBar >> p) & 1u);
            }
            at += item.Cells;
          }
          EXPECT_FALSE(inTuplet);
          EXPECT_EQ(at, length);
          EXPECT_EQ(seen, inBar);
        }
      }
    }
  }
  // A beat of eighth triplets, and the same time in the mixed grid, is a triplet of eighths; a
  // beat of the mixed grid that needs sixteenths and triplets together is a triplet of 32nds.
  const auto written = [](BarGrid grid, uint64_t onsets) {
    std::string out;
    for (const GridRhythmItem& item : GridVoiceRhythm(onsets, grid, CellsPerQuarter(grid), Meter{1, 4})) {
      out += item.Rest ? 'r' : 'n';
      out += std::to_string(item.Written);
      out += ':';
      out += std::to_string(item.Actual);
      out += ' ';
    }
    return out;
  };
  EXPECT_EQ(written(BarGrid::EighthTriplets, Onsets({0, 2})), "n8:3 n4:3 ");
  EXPECT_EQ(written(BarGrid::Mixed, Onsets({0, 4, 8})), "n4:3 n4:3 n4:3 ");
  EXPECT_EQ(written(BarGrid::Mixed, Onsets({0, 6})), "n4:1 n4:1 ");
  EXPECT_EQ(written(BarGrid::Mixed, Onsets({0, 3, 4})), "n3:12 n1:12 n8:12 ");
}

}  // namespace
