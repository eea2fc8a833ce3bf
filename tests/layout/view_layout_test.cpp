#include <gtest/gtest.h>

#include "layout/cursor_moves.h"
#include "layout/view_layout.h"

namespace {
Osnova Bars(std::initializer_list<int> lengths) {
  Osnova doc(4, static_cast<uint16_t>(lengths.size()), 4);
  int i = 0;
  for (int len : lengths) doc.EditBar(i++).Length = static_cast<uint8_t>(len);
  return doc;
}
}  // namespace

TEST(ViewLayout, TwelveFourFourBarsShowEightOnTwoLines) {
  Osnova doc(4, 12, 4);
  EXPECT_EQ(LayOutView(doc, 0), 2);
  EXPECT_EQ(doc.FirstVisibleBar, 0);
  EXPECT_EQ(doc.LastVisibleBar, 7);
  for (int b = 0; b < 8; ++b) {
    EXPECT_EQ(doc.Bar(b).StartCol, 16 * (b % 4)) << b;
    EXPECT_EQ(doc.Bar(b).EndCol, 16 * (b % 4) + 15) << b;
    EXPECT_EQ(doc.Bar(b).ViewLine, b / 4) << b;
    EXPECT_EQ(doc.Bar(b).SlotInLine, b % 4) << b;
  }
}

TEST(ViewLayout, BarThatDoesNotFitStartsTheNextLine) {
  Osnova doc = Bars({16, 16, 16, 20});
  EXPECT_EQ(LayOutView(doc, 0), 2);
  EXPECT_EQ(doc.Bar(3).ViewLine, 1);
  EXPECT_EQ(doc.Bar(3).StartCol, 0);
  EXPECT_EQ(doc.Bar(3).EndCol, 19);
  EXPECT_EQ(doc.LastVisibleBar, 3);
}

TEST(ViewLayout, FullLineBarPushesNextToSecondLineAndThirdIsHidden) {
  Osnova doc = Bars({64, 16, 64, 16});
  EXPECT_EQ(LayOutView(doc, 0), 2);
  EXPECT_EQ(doc.Bar(0).EndCol, 63);
  EXPECT_EQ(doc.Bar(1).ViewLine, 1);
  EXPECT_EQ(doc.LastVisibleBar, 1);
  EXPECT_EQ(LayOutView(doc, 2), 2);
  EXPECT_EQ(doc.LastVisibleBar, 3);
}

TEST(ViewLayout, LastBarsOnOneLine) {
  Osnova doc(4, 12, 4);
  EXPECT_EQ(LayOutView(doc, 9), 1);
  EXPECT_EQ(doc.FirstVisibleBar, 9);
  EXPECT_EQ(doc.LastVisibleBar, 11);
  EXPECT_EQ(doc.Bar(9).StartCol, 0);
}

TEST(ViewLayout, HitTestBandsFollowShownRows) {
  Osnova doc(4, 12, 4);
  doc.Kit = {1, 0, 0, 0, 0, 0, 0, 1, 1};  // snare and bass: n = 2, H = 120
  RecomputeLineOfRow(doc);
  EXPECT_EQ(view::LineHeight(ShownInstrumentRows(doc)), 120);
  EXPECT_EQ(view::StaffY(120, 1, 0), 170);
  EXPECT_EQ(view::StaffY(120, 1, 1), 185);
  EXPECT_EQ(FindXY(doc, 81, 45).Line, 2);
  EXPECT_EQ(FindXY(doc, 81, 50).Line, 0);
  EXPECT_EQ(FindXY(doc, 81, 75).Line, 0);
  EXPECT_EQ(FindXY(doc, 81, 76).Line, 2);
  EXPECT_EQ(FindXY(doc, 81, 165).Line, 1);
  EXPECT_EQ(FindXY(doc, 80, 60).Column, 64);
  EXPECT_EQ(FindXY(doc, 81, 60).Column, 0);
  EXPECT_EQ(FindXY(doc, 91, 60).Column, 0);
  EXPECT_EQ(FindXY(doc, 92, 60).Column, 1);
  EXPECT_EQ(FindXY(doc, 81 + 11 * 63 + 10, 60).Column, 63);
  EXPECT_EQ(FindXY(doc, 81 + 11 * 64, 60).Column, 64);
}

TEST(ViewLayout, ALargerGridTakesMoreBarsPerLineAndMoreLines) {
  Osnova doc(4, 40, 4);
  const view::Grid grid{80, 3};
  EXPECT_EQ(LayOutView(doc, 0, grid), 3);
  EXPECT_EQ(doc.LastVisibleBar, 14) << "five 4/4 bars a line";
  EXPECT_EQ(doc.Bar(4).EndCol, 79);
  EXPECT_EQ(doc.Bar(5).ViewLine, 1);
  EXPECT_EQ(doc.Bar(14).ViewLine, 2);
  EXPECT_EQ(FindXY(doc, 81 + 11 * 79, 360 + 60, grid).Column, 79);
  EXPECT_EQ(FindXY(doc, 81 + 11 * 79, 360 + 60, grid).Line, 2);
  EXPECT_EQ(FindXY(doc, 81 + 11 * 80, 540 + 60, grid).Column, 80) << "none";
  EXPECT_EQ(FindXY(doc, 81, 540 + 60, grid).Line, 3) << "none";
}

TEST(ViewLayout, BarByBarMovesKeepTheCurrentBarVisibleOnAnyGrid) {
  struct GridSink : TabViewSink {
    view::Grid grid;
    void RepaintView(Osnova& d, uint16_t first) override { LayOutView(d, first, grid); }
    view::Grid ViewGrid() const override { return grid; }
  };
  for (const view::Grid grid : {view::Grid{}, view::Grid{80, 3}, view::Grid{100, 1}, view::Grid{64, 5}}) {
    Osnova doc(4, 50, 4);
    for (int b = 0; b < 50; b += 7) doc.EditBar(b).Length = static_cast<uint8_t>(4 + b % 60);
    GridSink sink;
    sink.grid = grid;
    sink.RepaintView(doc, 0);
    TCursor cursor;
    for (int i = 0; i < 49; ++i) {
      NextBar(doc, cursor, sink);
      ASSERT_EQ(doc.CurrentBar, i + 1);
      ASSERT_GE(doc.CurrentBar, doc.FirstVisibleBar);
      ASSERT_LE(doc.CurrentBar, doc.LastVisibleBar);
      ASSERT_EQ(cursor.Line, doc.Current().ViewLine);
      ASSERT_LT(cursor.Line, grid.Lines);
    }
    for (int i = 0; i < 49; ++i) PreviousBar(doc, cursor, sink);
    EXPECT_EQ(doc.CurrentBar, 0);
    EXPECT_EQ(doc.FirstVisibleBar, 0);
  }
}
