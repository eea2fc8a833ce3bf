#include "model/time_feel.h"

#include <gtest/gtest.h>

#include "model/bar_commands.h"
#include "model/tab_document.h"

namespace {

TBar GridBar(BarGrid grid, int numerator = 4, int denominator = 4) {
  TBar bar(static_cast<uint8_t>(denominator), static_cast<uint8_t>(numerator));
  bar.Grid = grid;
  bar.Length = GridLength(numerator, denominator, grid);
  return bar;
}

// Every grid's cells are whole units, its timings whole cells or refused, and a cell keeps its
// time through a change of grid only where the other grid has a cell there.
TEST(TimeFeel, GridsCountCellsAndMapPositions) {
  EXPECT_EQ(GridLength(4, 4, BarGrid::Sixteenths), 16);
  EXPECT_EQ(GridLength(4, 4, BarGrid::ThirtySeconds), 32);
  EXPECT_EQ(GridLength(4, 4, BarGrid::EighthTriplets), 12);
  EXPECT_EQ(GridLength(4, 4, BarGrid::SixteenthTriplets), 24);
  EXPECT_EQ(GridLength(4, 4, BarGrid::Mixed), 48);
  EXPECT_EQ(GridLength(6, 8, BarGrid::EighthTriplets), 9);
  EXPECT_EQ(GridLength(7, 16, BarGrid::EighthTriplets), 0) << "no whole number of cells";
  EXPECT_EQ(GridLength(6, 4, BarGrid::Mixed), 0) << "72 cells: more than a bar holds";
  EXPECT_EQ(GridLength(16, 4, BarGrid::Sixteenths), 64);
  for (int g = 0; g < kGridCount; ++g) {
    const auto grid = static_cast<BarGrid>(g);
    EXPECT_EQ(CellUnits(grid) * CellsPerQuarter(grid), kUnitsPerQuarter) << GridName(grid);
    for (int n = 1; n <= 16; ++n)
      for (int d : {4, 8, 16})
        if (const int length = GridLength(n, d, grid)) {
          EXPECT_EQ(GridNumerator(length, d, grid), n) << GridName(grid) << " " << n << "/" << d;
          EXPECT_EQ(length * CellUnits(grid), n * 4 * kUnitsPerQuarter / d);
        }
  }
  EXPECT_EQ(RegridPosition(BarGrid::Sixteenths, BarGrid::Mixed, 3), 9);
  EXPECT_EQ(RegridPosition(BarGrid::Mixed, BarGrid::SixteenthTriplets, 10), 5);
  EXPECT_EQ(RegridPosition(BarGrid::Sixteenths, BarGrid::EighthTriplets, 2), -1);
  EXPECT_EQ(RegridPosition(BarGrid::ThirtySeconds, BarGrid::Sixteenths, 3), -1);

  std::string counts;
  for (int p = 0; p < 24; ++p) counts += GridCountLabel(BarGrid::Mixed, p).empty() ? std::string(".") : GridCountLabel(BarGrid::Mixed, p);
  EXPECT_EQ(counts, "1..et.+.la..2..et.+.la..");
  counts.clear();
  for (int p = 0; p < 8; ++p) counts += GridCountLabel(BarGrid::ThirtySeconds, p).empty() ? std::string(".") : GridCountLabel(BarGrid::ThirtySeconds, p);
  EXPECT_EQ(counts, "1.e.+.a.");
  counts.clear();
  for (int p = 0; p < 6; ++p) counts += GridCountLabel(BarGrid::EighthTriplets, p);
  EXPECT_EQ(counts, "1+a2+a");
}

// Swing moves each pair's second note to the swing ratio (33 %: two thirds of the pair, 50 %:
// dotted), cells between in proportion; triplet grids and a pair the bar cuts short stay straight.
TEST(TimeFeel, SwingPlacesOffBeatsAtTheRatio) {
  const TBar sixteenths = GridBar(BarGrid::Sixteenths);
  const SongSwing dotted{50, SwingUnit::Eighths};
  EXPECT_EQ(PositionUnits(sixteenths, 2, dotted), 3600);
  EXPECT_EQ(PositionUnits(sixteenths, 1, dotted), 1800);
  EXPECT_EQ(PositionUnits(sixteenths, 3, dotted), 4200);
  EXPECT_EQ(PositionUnits(sixteenths, 4, dotted), 4800);
  EXPECT_EQ(PositionUnits(sixteenths, 16, dotted), BarUnits(sixteenths));
  const SongSwing triplet{33, SwingUnit::Eighths};
  EXPECT_EQ(PositionUnits(sixteenths, 6, triplet), 4800 + 2400 + 24 * 33);
  const SongSwing sixteenthSwing{50, SwingUnit::Sixteenths};
  EXPECT_EQ(PositionUnits(sixteenths, 1, sixteenthSwing), 1800);
  EXPECT_EQ(PositionUnits(sixteenths, 2, sixteenthSwing), 2400);

  const TBar thirtySeconds = GridBar(BarGrid::ThirtySeconds);
  int64_t before = -1;
  for (int p = 0; p <= thirtySeconds.Length; ++p) {
    const int64_t at = PositionUnits(thirtySeconds, p, triplet);
    EXPECT_GT(at, before) << p;
    before = at;
  }
  EXPECT_EQ(PositionUnits(thirtySeconds, 4, triplet), PositionUnits(sixteenths, 2, triplet));

  const TBar triplets = GridBar(BarGrid::EighthTriplets);
  EXPECT_EQ(PositionUnits(triplets, 2, dotted), 3200);
  const TBar sevenEight = GridBar(BarGrid::Sixteenths, 7, 8);
  EXPECT_EQ(PositionUnits(sevenEight, 2, dotted), 3600);
  EXPECT_EQ(PositionUnits(sevenEight, 13, dotted), 13 * 1200) << "the last eighth has no partner";

  SongSwing read;
  EXPECT_TRUE(ParseSwing("33% 8ths", read));
  EXPECT_EQ(read, triplet);
  EXPECT_EQ(SwingText(sixteenthSwing), "50% 16ths");
  EXPECT_FALSE(ParseSwing("51% 8ths", read));
  EXPECT_FALSE(ParseSwing("33% quarters", read));
  EXPECT_EQ(SwingText({}), "");
  EXPECT_EQ(UnitsToFrames(1200, 12000), 5513) << "a sixteenth at 120 bpm, as it always was";
}

// A bar changes grid keeping its timing and every note that has a cell at its time; the others
// are counted in the message, and the step undoes as one. Timing changes stay in the bar's grid.
TEST(TimeFeel, ChangingGridKeepsPlaceableNotesAndSaysHowManyItCannot) {
  Osnova doc(4, 2, 4);
  TBar& bar = doc.EditBar(0);
  for (int p : {0, 2, 4, 8, 12}) bar.Rows[RowSnare].Set(p, 0, p == 4 ? 1 : 0);
  bar.FootNotes = 1u << 6;
  bar.Sticking[4] = 'R';
  int pushes = 0;
  BarEdit r = ChangeGridCommand(doc, BarGrid::EighthTriplets, [&] { ++pushes; });
  EXPECT_TRUE(r.Done);
  EXPECT_EQ(pushes, 1);
  EXPECT_EQ(r.Message, "2 notes have no place in 8th triplets and were removed.");
  const TBar& t = doc.Bar(0);
  EXPECT_EQ(t.Length, 12);
  EXPECT_EQ(t.Grid, BarGrid::EighthTriplets);
  EXPECT_EQ(t.Rows[RowSnare].Notes, (1u << 0) | (1u << 3) | (1u << 6) | (1u << 9));
  EXPECT_EQ(t.Rows[RowSnare].Cells[3].Accent, 1);
  EXPECT_EQ(t.FootNotes, 0u);
  EXPECT_EQ(t.Sticking[3], 'R');
  EXPECT_TRUE(doc.Modified);

  r = ChangeGridCommand(doc, BarGrid::Mixed, {});
  EXPECT_EQ(r.Message, "");
  EXPECT_EQ(doc.Bar(0).Length, 48);
  EXPECT_EQ(doc.Bar(0).Rows[RowSnare].Notes, (1ull << 0) | (1ull << 12) | (1ull << 24) | (1ull << 36));
  // 5/4 in the mixed grid is 60 cells; 6/4 would be 72.
  EXPECT_TRUE(ChangeTimingCommand(doc, 5, 4, {}).Done);
  EXPECT_EQ(doc.Bar(0).Length, 60);
  EXPECT_EQ(ChangeTimingCommand(doc, 6, 4, {}).Message, "A 6/4 bar cannot be written in 16ths + triplets.");
  EXPECT_EQ(doc.Bar(0).Length, 60);

  doc.CurrentBar = 1;
  ASSERT_TRUE(ChangeTimingCommand(doc, 7, 16, {}).Done);
  pushes = 0;
  r = ChangeGridCommand(doc, BarGrid::EighthTriplets, [&] { ++pushes; });
  EXPECT_FALSE(r.Done);
  EXPECT_EQ(pushes, 0);
  EXPECT_EQ(r.Message, "This bar's timing cannot be written in 8th triplets.");
  ASSERT_TRUE(ChangeTimingCommand(doc, 16, 4, {}).Done);
  EXPECT_EQ(ChangeGridCommand(doc, BarGrid::ThirtySeconds, {}).Message,
            "A bar holds at most 64 cells: this bar would need 128 in 32nds.");

  // An inserted bar takes the current bar's grid, a cleared one keeps it.
  doc.CurrentBar = 0;
  ASSERT_TRUE(InsertBarCommand(doc, {}).Done);
  EXPECT_EQ(doc.Current().Grid, BarGrid::Mixed);
  EXPECT_EQ(doc.Current().Length, 60);
  doc.CurrentBar = 1;
  ASSERT_TRUE(ClearBarCommand(doc, {}).Done);
  EXPECT_EQ(doc.Current().Grid, BarGrid::Mixed);
  EXPECT_EQ(doc.Current().Rows[RowSnare].Notes, 0u);
}

}  // namespace
