#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <tuple>
#include <vector>

#include "layout/cursor_moves.h"

namespace {

// The view as the window has it, without the pixels: records each repaint's first bar.
class LayoutSink : public TabViewSink {
 public:
  void RepaintView(Osnova& doc, uint16_t first) override {
    LayOutView(doc, first);
    Repaints.push_back(first);
  }
  std::vector<int> Repaints;
};

std::unique_ptr<Osnova> Doc(std::vector<int> lengths) {
  auto doc = std::make_unique<Osnova>(4, static_cast<uint16_t>(lengths.size()), 4);
  for (std::size_t i = 0; i < lengths.size(); ++i)
    doc->EditBar(static_cast<int>(i)).Length = static_cast<uint8_t>(lengths[i]);
  LayOutView(*doc, 0);
  return doc;
}

std::unique_ptr<Osnova> FourFour(int bars) { return Doc(std::vector<int>(bars, 16)); }

// Puts the cursor on column `column` of bar `bar`, which must be visible.
TCursor At(Osnova& doc, int bar, int column, uint8_t pace = 4) {
  doc.CurrentBar = static_cast<uint16_t>(bar);
  return TCursor{static_cast<uint8_t>(column), doc.Bar(bar).ViewLine, pace};
}

void ExpectCursorInCurrentBar(const Osnova& doc, const TCursor& c) {
  const TBar& bar = doc.Current();
  EXPECT_GE(doc.CurrentBar, doc.FirstVisibleBar);
  EXPECT_LE(doc.CurrentBar, doc.LastVisibleBar);
  EXPECT_GE(c.Column, bar.StartCol);
  EXPECT_LE(c.Column, bar.EndCol);
  EXPECT_EQ(c.Line, bar.ViewLine);
}

}  // namespace

TEST(StepMoves, StepRightCarriesIntoTheNextBar) {
  auto doc = FourFour(12);
  LayoutSink view;
  TCursor c = At(*doc, 0, 14);  // EndCol - 1
  CursorMove m = StepRight(*doc, c, view);
  EXPECT_TRUE(m.BarChanged);
  EXPECT_EQ(doc->CurrentBar, 1);
  EXPECT_EQ(c.Column, 16 + 2);
  EXPECT_TRUE(view.Repaints.empty());

  // Within a bar the pace is added; the mirror step carries back into bar 0.
  c = At(*doc, 1, 17);
  StepLeft(*doc, c, view);
  EXPECT_EQ(doc->CurrentBar, 0);
  EXPECT_EQ(c.Column, 15 - 2);
  StepLeft(*doc, c, view);
  EXPECT_EQ(c.Column, 9);
  EXPECT_EQ(doc->CurrentBar, 0);
}

TEST(StepMoves, CarryIsLimitedToTheShorterBar) {
  auto doc = Doc({16, 2, 16});
  LayoutSink view;
  TCursor c = At(*doc, 0, 15, 8);  // carry 7 into a bar of two positions
  StepRight(*doc, c, view);
  EXPECT_EQ(doc->CurrentBar, 1);
  EXPECT_EQ(c.Column, doc->Bar(1).EndCol);
  c = At(*doc, 2, doc->Bar(2).StartCol, 8);
  StepLeft(*doc, c, view);
  EXPECT_EQ(doc->CurrentBar, 1);
  EXPECT_EQ(c.Column, doc->Bar(1).StartCol);
}

TEST(StepMoves, NothingMovesAtTheEndsOfTheSong) {
  auto doc = FourFour(3);
  LayoutSink view;
  TCursor c = At(*doc, 2, 46);
  CursorMove m = StepRight(*doc, c, view);
  EXPECT_FALSE(m.BarChanged);
  EXPECT_EQ(doc->CurrentBar, 2);
  EXPECT_EQ(c.Column, 46);
  c = At(*doc, 0, 2);
  StepLeft(*doc, c, view);
  EXPECT_EQ(doc->CurrentBar, 0);
  EXPECT_EQ(c.Column, 2);
}

TEST(BarMoves, NextAndPreviousAtTheEndsGoToTheBarsEdge) {
  auto doc = FourFour(3);
  LayoutSink view;
  TCursor c = At(*doc, 2, 35);
  EXPECT_FALSE(NextBar(*doc, c, view).BarChanged);
  EXPECT_EQ(doc->CurrentBar, 2);
  EXPECT_EQ(c.Column, 47);
  c = At(*doc, 0, 9);
  EXPECT_FALSE(PreviousBar(*doc, c, view).BarChanged);
  EXPECT_EQ(c.Column, 0);
  EXPECT_TRUE(view.Repaints.empty());
}

TEST(BarMoves, NextKeepsTheOffsetAndPreviousTheDistanceFromTheEnd) {
  auto doc = Doc({16, 8, 16});
  LayoutSink view;
  TCursor c = At(*doc, 0, 12);  // offset 12, 3 from the end
  NextBar(*doc, c, view);
  EXPECT_EQ(doc->CurrentBar, 1);
  EXPECT_EQ(c.Column, doc->Bar(1).EndCol);  // offset 12 does not fit 8 positions
  c = At(*doc, 2, doc->Bar(2).StartCol + 10);  // 5 from the end
  PreviousBar(*doc, c, view);
  EXPECT_EQ(c.Column, doc->Bar(1).EndCol - 5);
  c = At(*doc, 2, doc->Bar(2).StartCol + 2);  // 13 from the end: clamped to the start
  PreviousBar(*doc, c, view);
  EXPECT_EQ(c.Column, doc->Bar(1).StartCol);
}

TEST(Scrolling, LeavingTheViewScrollsByOneStep) {
  auto doc = FourFour(12);
  LayoutSink view;
  TCursor c = At(*doc, 7, 63);  // last visible bar, last column
  StepRight(*doc, c, view);     // carry 3
  ASSERT_EQ(view.Repaints, std::vector<int>{1});
  EXPECT_EQ(doc->FirstVisibleBar, 1);
  EXPECT_EQ(doc->LastVisibleBar, 8);
  EXPECT_EQ(doc->CurrentBar, 8);
  EXPECT_EQ(c.Line, 1);
  EXPECT_EQ(c.Column, 48 + 3);

  // Up: the first visible bar going back scrolls one bar.
  c = At(*doc, 1, doc->Bar(1).StartCol + 5);  // 10 from the end
  CursorMove m = PreviousBar(*doc, c, view);
  EXPECT_TRUE(m.Repainted);
  EXPECT_EQ(view.Repaints.back(), 0);
  EXPECT_EQ(doc->CurrentBar, 0);
  EXPECT_EQ(c.Column, 5);
  EXPECT_EQ(c.Line, 0);
}

TEST(Scrolling, ScrollTargetMakesRoomForTheNextBar) {
  struct Case {
    std::vector<int> lengths;
    int current;
    int target;
  } cases[] = {
      {std::vector<int>(12, 16), 7, 1},      // four bars a line: drop one
      {{64, 64, 64, 64}, 1, 1},              // one bar a line
      {{64, 16, 16, 64, 16}, 2, 1},          // the long bar needs the whole second line
      {{16, 16, 16, 16, 16, 16, 16, 16, 64}, 7, 4},  // a full line must go
      {{48, 48, 64}, 1, 1},
  };
  for (const Case& k : cases) {
    auto doc = Doc(k.lengths);
    doc->CurrentBar = static_cast<uint16_t>(k.current);
    ASSERT_EQ(doc->LastVisibleBar, k.current);
    EXPECT_EQ(ScrollTarget(*doc, true), k.target) << k.lengths.size();
    LayoutSink view;
    TCursor c = At(*doc, k.current, doc->Current().StartCol);
    NextBar(*doc, c, view);
    EXPECT_EQ(doc->CurrentBar, k.current + 1);
    ExpectCursorInCurrentBar(*doc, c);
  }
  auto doc = FourFour(12);
  EXPECT_EQ(ScrollTarget(*doc, false), 0);
  LayOutView(*doc, 3);
  EXPECT_EQ(ScrollTarget(*doc, false), 2);
}

// Whatever the bar lengths, walking through the song by every kind of move keeps the cursor in a
// visible current bar and visits every bar in order.
TEST(Scrolling, WalksThroughRandomSongsKeepTheCursorInView) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> len(1, 64);
  for (int round = 0; round < 40; ++round) {
    std::vector<int> lengths(30);
    for (int& l : lengths) l = round % 2 ? len(rng) : 1 + len(rng) % 16;
    auto doc = Doc(lengths);
    LayoutSink view;
    TCursor c = At(*doc, 0, 0, 1);
    int positions = 1;  // visited, counting the start
    for (;;) {
      const int bar = doc->CurrentBar, column = c.Column;
      StepRight(*doc, c, view);
      if (doc->CurrentBar == bar && c.Column == column) break;
      ++positions;
      ExpectCursorInCurrentBar(*doc, c);
      ASSERT_LE(positions, 30 * 64);
    }
    EXPECT_EQ(doc->CurrentBar, 29);
    EXPECT_EQ(c.Column, doc->Current().EndCol);
    int total = 0;
    for (int l : lengths) total += l;
    EXPECT_EQ(positions, total) << round;

    for (int b = 28; b >= 0; --b) {
      PreviousBar(*doc, c, view);
      ASSERT_EQ(doc->CurrentBar, b);
      ExpectCursorInCurrentBar(*doc, c);
    }
    for (int b = 1; b < 30; ++b) {
      NextBar(*doc, c, view);
      ASSERT_EQ(doc->CurrentBar, b);
      ExpectCursorInCurrentBar(*doc, c);
    }
    c.Pace = 8;
    for (int steps = 0;; ++steps) {
      const int bar = doc->CurrentBar, column = c.Column;
      StepLeft(*doc, c, view);
      ExpectCursorInCurrentBar(*doc, c);
      if (doc->CurrentBar == bar && c.Column == column) break;
      ASSERT_LE(doc->CurrentBar, bar);
      ASSERT_LT(steps, 30 * 64);
    }
    EXPECT_EQ(doc->CurrentBar, 0);
    EXPECT_LT(c.Column, 8);
  }
}

TEST(CommandPlacement, PastedLongBarStaysInViewWithTheCursorInside) {
  auto doc = FourFour(12);
  LayoutSink view;
  TCursor c = At(*doc, 7, 60);
  doc->EditBar(7).Length = 64;  // what a paste of a 16/4 bar leaves at the current slot
  RepaintKeepingCursor(*doc, c, view);
  EXPECT_EQ(doc->CurrentBar, 7);
  ExpectCursorInCurrentBar(*doc, c);
  EXPECT_EQ(c.Column, 60);

  // A shorter bar at the end of a line: the cursor comes back to its end.
  c = At(*doc, 7, 60);
  doc->EditBar(7).Length = 4;
  RepaintKeepingCursor(*doc, c, view);
  ExpectCursorInCurrentBar(*doc, c);
  EXPECT_EQ(c.Column, doc->Bar(7).EndCol);
}

TEST(CommandPlacement, TimingChangePushingTheBarOutMovesToTheLastVisibleBar) {
  auto doc = FourFour(12);
  LayoutSink view;
  TCursor c = At(*doc, 7, 50);
  doc->EditBar(7).Length = 64;
  EXPECT_TRUE(RepaintAfterTimingChange(*doc, c, view));
  EXPECT_EQ(doc->CurrentBar, 6);
  EXPECT_EQ(c.Column, doc->Bar(6).EndCol);
  EXPECT_EQ(c.Line, 1);

  c = At(*doc, 2, 40);
  doc->EditBar(2).Length = 8;
  EXPECT_FALSE(RepaintAfterTimingChange(*doc, c, view));
  EXPECT_EQ(c.Column, doc->Bar(2).StartCol);
}

TEST(CommandPlacement, JumpShowsTheBarFirst) {
  auto doc = FourFour(12);
  LayoutSink view;
  TCursor c = At(*doc, 5, 20);
  EXPECT_TRUE(JumpToBar(*doc, c, view, 10));
  EXPECT_EQ(doc->FirstVisibleBar, 10);
  EXPECT_EQ(doc->CurrentBar, 10);
  EXPECT_EQ(c.Column, 0);
  EXPECT_EQ(c.Line, 0);
  EXPECT_FALSE(JumpToBar(*doc, c, view, 12));
  EXPECT_EQ(doc->CurrentBar, 10);
}

TEST(MouseClicks, ClicksSelectTheBarUnderTheBand) {
  auto doc = Doc({16, 16, 16, 16, 8, 16});  // all rows shown: H = 180
  TCursor c = At(*doc, 0, 0);
  // Above the first line's band: nothing.
  EXPECT_FALSE(PlaceCursorAt(*doc, c, view::CursorLeft(20), 45));
  EXPECT_EQ(doc->CurrentBar, 0);
  EXPECT_TRUE(PlaceCursorAt(*doc, c, view::CursorLeft(20), 50));
  EXPECT_EQ(doc->CurrentBar, 1);
  EXPECT_EQ(c.Column, 20);
  // Second line: band from H + 40; bar 4 spans columns 0..7, bar 5 8..23.
  EXPECT_TRUE(PlaceCursorAt(*doc, c, view::CursorLeft(9), 180 + 45));
  EXPECT_EQ(doc->CurrentBar, 5);
  EXPECT_EQ(c.Line, 1);
  // Right of the last bar of the line: nothing changes.
  EXPECT_FALSE(PlaceCursorAt(*doc, c, view::CursorLeft(30), 180 + 45));
  EXPECT_EQ(doc->CurrentBar, 5);
  EXPECT_EQ(c.Column, 9);
}

// A jump of many bars (the scroll bar) ends exactly where that many single moves end, every bar's
// layout included, with at most one repaint, from the view's final first bar.
TEST(BarMoves, ManyBarsAtOnceEndAsSingleMovesWithOneRepaint) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> len(1, 64);
  for (int round = 0; round < 30; ++round) {
    std::vector<int> lengths(60);
    for (int& l : lengths) l = round % 3 ? 1 + len(rng) % 16 : len(rng);
    auto single = Doc(lengths);
    auto jumped = Doc(lengths);
    LayoutSink singleView, jumpView;
    TCursor a = At(*single, 0, 0), b = At(*jumped, 0, 0);
    std::uniform_int_distribution<int> jump(-70, 70);
    for (int k = 0; k < 6; ++k) {
      const int count = jump(rng);
      for (int i = 0; i < std::abs(count); ++i) MoveBar(*single, a, singleView, count > 0);
      jumpView.Repaints.clear();
      const CursorMove m = MoveBars(*jumped, b, jumpView, count);
      ASSERT_LE(jumpView.Repaints.size(), 1u);
      if (m.Repainted) {
        EXPECT_EQ(jumpView.Repaints[0], jumped->FirstVisibleBar);
      }
      ASSERT_EQ(jumped->CurrentBar, single->CurrentBar) << round << " " << count;
      EXPECT_EQ(jumped->FirstVisibleBar, single->FirstVisibleBar);
      EXPECT_EQ(jumped->LastVisibleBar, single->LastVisibleBar);
      EXPECT_EQ(b.Column, a.Column);
      EXPECT_EQ(b.Line, a.Line);
      for (int bar = 0; bar < 60; ++bar) {
        const TBar& x = jumped->Bar(bar);
        const TBar& y = single->Bar(bar);
        ASSERT_EQ(std::tie(x.StartCol, x.EndCol, x.ViewLine, x.SlotInLine),
                  std::tie(y.StartCol, y.EndCol, y.ViewLine, y.SlotInLine))
            << "bar " << bar;
      }
    }
  }
}

// Home/End, Ctrl+Home/Ctrl+End and Page Up/Down on songs of mixed bar lengths: the cursor lands on
// the right bar and column, inside the view, and a page is the bars of the current view line.
TEST(JumpMoves, BarAndSongEndsAndLinesOfBars) {
  auto doc = Doc({16, 6, 30, 12, 64, 8, 16, 16, 3, 40, 16, 24});
  LayoutSink view;
  TCursor c = At(*doc, 1, doc->Bar(1).StartCol + 2);
  BarEnd(*doc, c, view);
  EXPECT_EQ(c.Column, doc->Bar(1).EndCol);
  BarStart(*doc, c, view);
  EXPECT_EQ(c.Column, doc->Bar(1).StartCol);
  EXPECT_EQ(doc->CurrentBar, 1);

  CursorMove m = SongEnd(*doc, c, view);
  EXPECT_TRUE(m.BarChanged);
  EXPECT_EQ(doc->CurrentBar, 11);
  EXPECT_EQ(c.Column, doc->Current().EndCol);
  ExpectCursorInCurrentBar(*doc, c);
  m = SongEnd(*doc, c, view);
  EXPECT_FALSE(m.BarChanged) << "already there";
  m = SongStart(*doc, c, view);
  EXPECT_TRUE(m.BarChanged);
  EXPECT_EQ(doc->CurrentBar, 0);
  EXPECT_EQ(doc->FirstVisibleBar, 0);
  EXPECT_EQ(c.Column, 0);
  EXPECT_EQ(c.Line, 0);

  // Page by page to the end and back: each page moves by the bars of the line the cursor was on.
  std::vector<int> down;
  while (doc->CurrentBar < 11) {
    int line = 0;
    for (int b = doc->FirstVisibleBar; b <= doc->LastVisibleBar; ++b)
      line += doc->Bar(b).ViewLine == doc->Current().ViewLine;
    const int before = doc->CurrentBar;
    NextLineOfBars(*doc, c, view);
    EXPECT_EQ(doc->CurrentBar, std::min(before + line, 11));
    ExpectCursorInCurrentBar(*doc, c);
    down.push_back(doc->CurrentBar);
    ASSERT_LT(down.size(), 12u);
  }
  NextLineOfBars(*doc, c, view);
  EXPECT_EQ(doc->CurrentBar, 11);
  EXPECT_EQ(c.Column, doc->Current().EndCol) << "at the end, as Next bar does";
  for (int i = 0; i < 12 && doc->CurrentBar > 0; ++i) {
    PreviousLineOfBars(*doc, c, view);
    ExpectCursorInCurrentBar(*doc, c);
  }
  EXPECT_EQ(doc->CurrentBar, 0);
}

// Pace is a note value: the same musical step in every grid that has it, the triplet of it where
// the grid has not, and a step past a bar's end carries on by the time left over.
TEST(StepMoves, PaceStepsTheSameTimeInEachBarsGridAndCarriesTimeAcrossGrids) {
  struct Case {
    BarGrid Grid;
    int Pace, Position;
    bool Forward;
    int Cells;
  };
  const Case cases[] = {
      {BarGrid::Sixteenths, 4, 0, true, 4},         {BarGrid::ThirtySeconds, 1, 0, true, 2},
      {BarGrid::ThirtySeconds, 2, 5, false, 4},     {BarGrid::SixteenthTriplets, 1, 0, true, 1},
      {BarGrid::SixteenthTriplets, 2, 0, true, 3},  {BarGrid::SixteenthTriplets, 4, 0, true, 6},
      {BarGrid::EighthTriplets, 1, 0, true, 1},     {BarGrid::EighthTriplets, 2, 0, true, 1},
      {BarGrid::EighthTriplets, 8, 0, true, 6},     {BarGrid::Mixed, 1, 0, true, 3},
      {BarGrid::Mixed, 1, 3, true, 1},              {BarGrid::Mixed, 1, 9, true, 3},
      {BarGrid::Mixed, 1, 12, false, 3},            {BarGrid::Mixed, 1, 8, false, 2},
      {BarGrid::Mixed, 2, 5, true, 6},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PaceCells(c.Grid, c.Pace, c.Position, c.Forward), c.Cells)
        << GridName(c.Grid) << " pace " << c.Pace << " from " << c.Position;

  // 16ths, 32nds, sixteenth triplets: 16 + 32 columns on line 0, the triplets on line 1.
  auto doc = FourFour(3);
  for (auto [bar, grid, length] : {std::tuple{1, BarGrid::ThirtySeconds, 32},
                                   std::tuple{2, BarGrid::SixteenthTriplets, 24}}) {
    doc->EditBar(bar).Grid = grid;
    doc->EditBar(bar).Length = static_cast<uint8_t>(length);
  }
  LayOutView(*doc, 0);
  LayoutSink view;
  TCursor c = At(*doc, 0, 14);  // two sixteenths before the end, pace 1/4
  StepRight(*doc, c, view);
  EXPECT_EQ(doc->CurrentBar, 1);
  EXPECT_EQ(c.Column, 16 + 4);  // two sixteenths in: four 32nds
  c = At(*doc, 1, 16 + 30, 2);  // two 32nds before the end, pace 1/8: a sixteenth over
  StepRight(*doc, c, view);
  EXPECT_EQ(doc->CurrentBar, 2);
  EXPECT_EQ(c.Column, 1);  // the sixteenth triplet at or just before a sixteenth
  StepLeft(*doc, c, view);  // an eighth back from the first sixteenth triplet: 1/12 before the bar
  EXPECT_EQ(doc->CurrentBar, 1);
  EXPECT_EQ(c.Column, 16 + 29);  // the 32nd at or just before that time

  // Bar moves keep the time: from the 32nd on beat 2 to beat 2 of the triplets.
  c = At(*doc, 1, 16 + 8);
  NextBar(*doc, c, view);
  EXPECT_EQ(c.Column, 6);
  c = At(*doc, 2, 23);  // the last sixteenth triplet, 1/24 before the end
  PreviousBar(*doc, c, view);
  EXPECT_EQ(c.Column, 16 + 30);  // the 32nd at or just before that time
}
