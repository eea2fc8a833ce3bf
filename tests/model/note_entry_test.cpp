#include <gtest/gtest.h>

#include "model/note_entry.h"

namespace {

struct Entry {
  Osnova doc{4, 4, 4};
  int pushes = 0;
  NoteEntry Press(int row, int variant, int accent, int position = 4, int bar = 1) {
    return SetNoteAt(doc, bar, position, row, variant, accent, [this] { ++pushes; });
  }
};

}  // namespace

TEST(NoteEntry, SameKeyTwiceSetsThenRemoves) {
  Entry e;
  NoteEntry first = e.Press(RowSnare, 0, 0);
  EXPECT_EQ(first.Change, NoteChange::Set);
  EXPECT_FALSE(first.EraseOldLetter);
  EXPECT_TRUE(first.DrawCount);
  EXPECT_TRUE(first.DrawLetter);
  EXPECT_EQ(first.Letter, 'o');
  EXPECT_TRUE(first.Sound);
  EXPECT_EQ(first.Velocity, 94);
  EXPECT_TRUE(e.doc.Bar(1).Rows[RowSnare].Has(4));
  EXPECT_TRUE(e.doc.Modified);

  e.doc.Modified = false;
  NoteEntry second = e.Press(RowSnare, 0, 0);
  EXPECT_EQ(second.Change, NoteChange::Removed);
  EXPECT_TRUE(second.EraseOldLetter);
  EXPECT_TRUE(second.EraseCount);  // the snare was the only note there
  EXPECT_FALSE(second.DrawLetter);
  EXPECT_FALSE(second.Sound);
  EXPECT_FALSE(e.doc.Bar(1).Rows[RowSnare].Has(4));
  EXPECT_EQ(e.doc.Bar(1).Rows[RowSnare].Cells[4], TNoteCell{});
  EXPECT_TRUE(e.doc.Modified);
  EXPECT_EQ(e.pushes, 2);
}

TEST(NoteEntry, RemovalKeepsTheCountWhileAnotherNoteIsThere) {
  Entry e;
  e.Press(RowBass, 0, 0);
  NoteEntry snare = e.Press(RowSnare, 0, 0);
  EXPECT_FALSE(snare.DrawCount);  // already drawn for the bass drum
  NoteEntry removed = e.Press(RowSnare, 0, 0);
  EXPECT_EQ(removed.Change, NoteChange::Removed);
  EXPECT_FALSE(removed.EraseCount);
  EXPECT_TRUE(e.doc.Bar(1).Rows[RowBass].Has(4));
}

TEST(NoteEntry, AnotherVariantOrAccentReplaces) {
  Entry e;
  e.Press(RowSnare, 0, 0);
  NoteEntry rim = e.Press(RowSnare, 1, 0);  // S then A
  EXPECT_EQ(rim.Change, NoteChange::Replaced);
  EXPECT_TRUE(rim.EraseOldLetter);
  EXPECT_FALSE(rim.DrawCount);
  EXPECT_EQ(rim.Letter, 'x');
  EXPECT_TRUE(rim.Sound);
  EXPECT_EQ(e.doc.Bar(1).Rows[RowSnare].Cells[4], (TNoteCell{1, 0}));

  NoteEntry accented = e.Press(RowSnare, 0, 1, 8);  // Shift+S
  EXPECT_EQ(accented.Change, NoteChange::Set);
  EXPECT_EQ(accented.Letter, 'O');
  EXPECT_EQ(accented.Velocity, 127);
  NoteEntry plain = e.Press(RowSnare, 0, 0, 8);  // then S: the accent differs
  EXPECT_EQ(plain.Change, NoteChange::Replaced);
  EXPECT_EQ(plain.Letter, 'o');
  EXPECT_EQ(plain.Velocity, 94);
  EXPECT_EQ(e.doc.Bar(1).Rows[RowSnare].Cells[8], (TNoteCell{0, 0}));
}

TEST(NoteEntry, SnapshotIsTakenBeforeTheChange) {
  Osnova doc(4, 2, 4);
  bool noteThereAtPush = true;
  SetNoteAt(doc, 0, 3, RowHiHat, 1, 0, [&] { noteThereAtPush = doc.Bar(0).Rows[RowHiHat].Has(3); });
  EXPECT_FALSE(noteThereAtPush);
  EXPECT_TRUE(doc.Bar(0).Rows[RowHiHat].Has(3));
}

TEST(NoteEntry, RefusalsChangeNothingAndTakeNoSnapshot) {
  Entry e;
  e.doc.Kit[RowHiHat] = 0;
  RecomputeLineOfRow(e.doc);
  e.doc.EditBar(1).Length = 8;
  struct Case {
    int bar, position, row, variant, accent;
  } cases[] = {
      {1, 4, RowHiHat, 0, 0},   // hidden row
      {1, 8, RowSnare, 0, 0},   // beyond the bar's length
      {1, -1, RowSnare, 0, 0},
      {4, 0, RowSnare, 0, 0},   // no such bar
      {1, 4, RowCount, 0, 0},   // the counting line
      {1, 4, 9, 0, 0},
      {1, 4, RowRide, 1, 0},    // no such variant
      {1, 4, RowCymbals, 3, 0},
      {1, 4, RowSnare, 0, 2},
  };
  for (const Case& c : cases) {
    NoteEntry r = SetNoteAt(e.doc, c.bar, c.position, c.row, c.variant, c.accent,
                            [&] { ++e.pushes; });
    EXPECT_EQ(r.Change, NoteChange::None) << c.row << " " << c.position;
    EXPECT_FALSE(r.Error.empty());
  }
  EXPECT_EQ(e.pushes, 0);
  EXPECT_FALSE(e.doc.Modified);
  for (const auto& bar : e.doc.Bars)
    for (const auto& row : bar->Rows) EXPECT_EQ(row.Notes, 0u);
}

TEST(NoteEntry, CountFollowsShownRowsOnly) {
  Entry e;
  e.Press(RowBass, 0, 0);
  e.doc.Kit[RowBass] = 0;  // the bass note stays in memory but is not drawn, nor is its count
  RecomputeLineOfRow(e.doc);
  NoteEntry snare = e.Press(RowSnare, 0, 0);
  EXPECT_TRUE(snare.DrawCount);
  NoteEntry removed = e.Press(RowSnare, 0, 0);
  EXPECT_TRUE(removed.EraseCount);
}

TEST(InstrumentButtons, TagsNameRowAndVariant) {
  int row = -1, variant = -1;
  EXPECT_TRUE(InstrumentOfTag(71, row, variant));
  EXPECT_EQ(row, RowSnare);
  EXPECT_EQ(variant, 1);
  EXPECT_TRUE(InstrumentOfTag(12, row, variant));
  EXPECT_EQ(row, RowCymbals);
  EXPECT_EQ(variant, 2);
  for (int bad : {0, 13, 21, 32, 41, 72, 81, 90, -10}) EXPECT_FALSE(InstrumentOfTag(bad, row, variant)) << bad;
}
