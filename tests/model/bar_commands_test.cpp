#include <gtest/gtest.h>

#include "model/bar_commands.h"
#include "layout/cursor_moves.h"

namespace {

class LayoutSink : public TabViewSink {
 public:
  void RepaintView(Osnova& doc, uint16_t first) override { LayOutView(doc, first); }
};

// Twelve 4/4 bars, each with a snare note at its own index (mod 16) and a comment naming it.
std::unique_ptr<Osnova> Numbered(int bars = 12) {
  auto doc = std::make_unique<Osnova>(4, static_cast<uint16_t>(bars), 4);
  for (int b = 0; b < bars; ++b) {
    doc->EditBar(b).Rows[RowSnare].Set(b % 16, 0, 0);
    doc->EditBar(b).Comment = "bar " + std::to_string(b);
  }
  return doc;
}

void ExpectConsistent(const Osnova& doc) {
  ASSERT_EQ(doc.BarCount, doc.Bars.size());
  EXPECT_LT(doc.CurrentBar, doc.BarCount);
}

std::vector<int> PartBars(const Osnova& doc) {
  std::vector<int> bars;
  for (const auto& p : doc.SongParts) bars.push_back(p.StartBar);
  return bars;
}

struct Pushes {
  int count = 0;
  std::function<void()> Fn() {
    return [this] { ++count; };
  }
};

}  // namespace

TEST(BarCommands, InsertAtBarZeroAddsAnEmptyBarWithItsTiming) {
  auto doc = Numbered();
  doc->EditBar(0).Length = 12;  // 3/4
  Pushes push;
  int barsAtPush = 0;
  BarEdit r = InsertBarCommand(*doc, [&] {
    barsAtPush = doc->BarCount;
    ++push.count;
  });
  EXPECT_TRUE(r.Done);
  EXPECT_EQ(barsAtPush, 12);
  EXPECT_EQ(doc->BarCount, 13);
  ExpectConsistent(*doc);
  EXPECT_EQ(doc->Bar(0).Length, 12);
  EXPECT_EQ(doc->Bar(0).Rows[RowSnare].Notes, 0u);
  EXPECT_EQ(doc->Bar(0).Comment, "");
  EXPECT_EQ(doc->Bar(1).Comment, "bar 0");
  EXPECT_EQ(doc->Bar(1).Length, 12);
  EXPECT_EQ(doc->Bar(12).Comment, "bar 11");
  EXPECT_EQ(doc->CurrentBar, 0);
  EXPECT_TRUE(doc->Modified);
}

TEST(BarCommands, TheOnlyBarCannotBeRemovedOrCut) {
  Osnova doc(4, 1, 4);
  doc.EditBar(0).Rows[RowBass].Set(0, 0, 0);
  doc.SongParts.push_back({0, "Only"});
  TClipBord clip;
  Pushes push;
  BarEdit removed = RemoveBarCommand(doc, push.Fn());
  EXPECT_FALSE(removed.Done);
  EXPECT_EQ(removed.Message, "You cannot delete all bars! At least one must remain.");
  BarEdit cut = CutBarCommand(clip, doc, push.Fn());
  EXPECT_FALSE(cut.Done);
  EXPECT_EQ(cut.Message, "You cannot cut out all bars! At least one must remain.");
  EXPECT_EQ(push.count, 0);
  EXPECT_EQ(doc.BarCount, 1);
  EXPECT_TRUE(doc.Bar(0).Rows[RowBass].Has(0));
  EXPECT_EQ(doc.SongParts.size(), 1u);
  EXPECT_FALSE(doc.Modified);
  EXPECT_EQ(clip.Bar.Length, 64);  // the clipboard kept its empty 16/4 bar
  std::string error;
  EXPECT_FALSE(RemoveBar(doc, 0xFFFFFFFFu, error));
}

TEST(BarCommands, RemovingTheLastBarWhileCurrentStepsBack) {
  auto doc = Numbered();
  LayoutSink view;
  LayOutView(*doc, 4);  // bars 4..11 visible, 11 at columns 48..63 of line 1
  doc->CurrentBar = 11;
  TCursor cursor{60, 1, 4};
  BarEdit r = RemoveBarCommand(*doc, {});
  EXPECT_TRUE(r.Done);
  EXPECT_EQ(doc->BarCount, 11);
  ExpectConsistent(*doc);
  EXPECT_EQ(doc->CurrentBar, 10);
  EXPECT_EQ(doc->FirstVisibleBar, 3);
  EXPECT_EQ(doc->Bar(10).Comment, "bar 10");
  RepaintKeepingCursor(*doc, cursor, view);
  EXPECT_EQ(doc->LastVisibleBar, 10);
  EXPECT_EQ(cursor.Column, 60);  // the new last bar sits where the old one was

  // With the view at the start, the bar before is further left: the cursor goes to its end.
  auto six = Numbered(6);
  LayOutView(*six, 0);  // bar 5 at columns 16..31 of line 1
  six->CurrentBar = 5;
  cursor = TCursor{20, 1, 4};
  RemoveBarCommand(*six, {});
  EXPECT_EQ(six->CurrentBar, 4);
  EXPECT_EQ(six->FirstVisibleBar, 0);
  RepaintKeepingCursor(*six, cursor, view);
  EXPECT_EQ(cursor.Column, 15);
  EXPECT_EQ(cursor.Line, 1);
}

TEST(BarCommands, CutThenPasteRestoresTheBar) {
  auto doc = Numbered();
  doc->EditBar(5).Length = 14;
  doc->EditBar(5).Denominator = 8;
  doc->EditBar(5).Rows[RowHiHat].Set(13, 1, 1);
  doc->SongParts = {{0, "Intro"}, {5, "Verse"}, {9, "Chorus"}};
  doc->CurrentBar = 5;
  TClipBord clip;
  BarEdit cut = CutBarCommand(clip, *doc, {});
  EXPECT_TRUE(cut.Done);
  EXPECT_TRUE(cut.PartNamesChanged);
  EXPECT_EQ(doc->BarCount, 11);
  ExpectConsistent(*doc);
  EXPECT_EQ(doc->Bar(5).Comment, "bar 6");
  EXPECT_EQ(PartBars(*doc), (std::vector<int>{0, 8}));  // Verse gone, Chorus stays on its bar

  doc->Modified = false;
  BarEdit pasted = PasteBarCommand(clip, *doc, {});
  EXPECT_TRUE(pasted.Done);
  EXPECT_TRUE(doc->Modified);
  ExpectConsistent(*doc);
  const TBar& bar = doc->Bar(5);
  EXPECT_EQ(bar.Length, 14);
  EXPECT_EQ(bar.Denominator, 8);
  EXPECT_EQ(bar.Comment, "bar 5");
  EXPECT_EQ(bar.Rows[RowHiHat].Cells[13], (TNoteCell{1, 1}));
  EXPECT_TRUE(bar.Rows[RowSnare].Has(5));
  EXPECT_EQ(doc->Bar(6).Comment, "bar 6");
  EXPECT_EQ(PartBars(*doc), (std::vector<int>{0, 9}));
  // The clipboard keeps its bar: a second paste works the same.
  PasteBarCommand(clip, *doc, {});
  EXPECT_EQ(doc->Bar(5).Comment, "bar 5");
  EXPECT_EQ(doc->Bar(6).Comment, "bar 5");
  EXPECT_EQ(doc->BarCount, 13);
}

TEST(BarCommands, CopyInOneDocumentPasteInTheNext) {
  TClipBord clip;
  auto first = Numbered();
  first->CurrentBar = 3;
  first->EditBar(3).Rows[RowRide].Set(2, 0, 0);
  EXPECT_TRUE(CopyBarCommand(clip, *first, true).Done);
  EXPECT_FALSE(first->Modified);  // from the keyboard
  CopyBarCommand(clip, *first, false);
  EXPECT_TRUE(first->Modified);  // from the tool button or a menu
  first.reset();

  Osnova next(3, 12, 4);  // no song parts
  next.CurrentBar = 2;
  Pushes push;
  EXPECT_TRUE(PasteBarCommand(clip, next, push.Fn()).Done);
  EXPECT_EQ(push.count, 1);
  EXPECT_EQ(next.BarCount, 13);
  ExpectConsistent(next);
  EXPECT_EQ(next.Bar(2).Comment, "bar 3");
  EXPECT_EQ(next.Bar(2).Length, 16);
  EXPECT_TRUE(next.Bar(2).Rows[RowRide].Has(2));
  EXPECT_EQ(next.Bar(3).Length, 12);
  EXPECT_TRUE(next.SongParts.empty());
}

TEST(BarCommands, PasteBeforeAnyCopyInsertsAnEmpty16Over4Bar) {
  TClipBord clip;
  Osnova doc(4, 2, 4);
  PasteBarCommand(clip, doc, {});
  EXPECT_EQ(doc.Bar(0).Length, 64);
  EXPECT_EQ(doc.Bar(0).Denominator, 4);
  EXPECT_EQ(doc.Bar(0).Rows[RowSnare].Notes, 0u);
  ExpectConsistent(doc);
}

TEST(BarCommands, ShortenedBarShowsItsNotesAgainWhenLengthened) {
  auto doc = Numbered();
  doc->CurrentBar = 1;
  for (int p = 8; p < 16; ++p) doc->EditBar(1).Rows[RowBass].Set(p, 0, p % 2);
  const TBar before = doc->Bar(1);
  Pushes push;
  EXPECT_TRUE(ChangeTimingCommand(*doc, 2, 4, push.Fn()).Done);
  EXPECT_EQ(doc->Bar(1).Length, 8);
  EXPECT_TRUE(doc->Modified);
  EXPECT_EQ(NoteCount(doc->Bar(1).Rows[RowBass], doc->Bar(1).Length), 0);
  ChangeTimingCommand(*doc, 4, 4, push.Fn());
  EXPECT_EQ(doc->Bar(1).Rows, before.Rows);
  EXPECT_EQ(NoteCount(doc->Bar(1).Rows[RowBass], 16), 8);
  EXPECT_EQ(push.count, 2);

  ChangeTimingCommand(*doc, 7, 8, push.Fn());
  EXPECT_EQ(doc->Bar(1).Length, 14);
  EXPECT_EQ(doc->Bar(1).Denominator, 8);
  for (auto [n, d] : {std::pair{0, 4}, {17, 4}, {4, 2}, {4, 32}})
    EXPECT_FALSE(ChangeTimingCommand(*doc, n, d, push.Fn()).Done) << n << "/" << d;
  EXPECT_EQ(push.count, 3);
  EXPECT_EQ(doc->Bar(1).Length, 14);

  // The timing the bar already has changes nothing to save.
  doc->Modified = false;
  EXPECT_TRUE(ChangeTimingCommand(*doc, 7, 8, push.Fn()).Done);
  EXPECT_FALSE(doc->Modified);
}

TEST(BarCommands, ClearEmptiesTheBarButKeepsItsLength) {
  auto doc = Numbered();
  doc->CurrentBar = 2;
  doc->EditBar(2).Length = 13;  // a length no timing box gives, as a file may hold it
  ClearBarCommand(*doc, {});
  EXPECT_EQ(doc->Bar(2).Length, 13);
  EXPECT_EQ(doc->Bar(2).Comment, "");
  for (const auto& row : doc->Bar(2).Rows) EXPECT_EQ(row, TNoteRow{});
  EXPECT_TRUE(doc->Modified);
}

TEST(BarCommands, SongPartsFollowTheirBars) {
  auto doc = Numbered();
  doc->SongParts = {{0, "Intro"}, {4, "Verse"}, {8, "Chorus"}};
  TClipBord clip;

  doc->CurrentBar = 4;  // a part begins here
  InsertBarCommand(*doc, {});
  EXPECT_EQ(PartBars(*doc), (std::vector<int>{0, 5, 9}));
  doc->CurrentBar = 2;  // no part here: the later parts move all the same
  InsertBarCommand(*doc, {});
  EXPECT_EQ(PartBars(*doc), (std::vector<int>{0, 6, 10}));
  doc->CurrentBar = 7;
  PasteBarCommand(clip, *doc, {});
  EXPECT_EQ(PartBars(*doc), (std::vector<int>{0, 6, 11}));
  EXPECT_EQ(doc->Bar(6).Comment, "bar 4");
  EXPECT_EQ(doc->Bar(11).Comment, "bar 8");

  doc->CurrentBar = 3;
  BarEdit r = RemoveBarCommand(*doc, {});
  EXPECT_FALSE(r.PartNamesChanged);
  EXPECT_EQ(PartBars(*doc), (std::vector<int>{0, 5, 10}));
  doc->CurrentBar = 5;
  r = RemoveBarCommand(*doc, {});
  EXPECT_TRUE(r.PartNamesChanged);
  EXPECT_EQ(PartBars(*doc), (std::vector<int>{0, 9}));
  doc->CurrentBar = 1;
  CutBarCommand(clip, *doc, {});
  EXPECT_EQ(PartBars(*doc), (std::vector<int>{0, 8}));
  EXPECT_EQ(doc->Bar(8).Comment, "bar 8");
  EXPECT_EQ(doc->SongParts[1].Name, "Chorus");
  doc->CurrentBar = 0;
  CutBarCommand(clip, *doc, {});
  EXPECT_EQ(PartBars(*doc), std::vector<int>{7});
}

TEST(BarCommands, A65535BarTabTakesNoMoreBars) {
  Osnova doc(4, kMaxBarCount, 4);
  doc.CurrentBar = 100;
  TClipBord clip;
  Pushes push;
  BarEdit inserted = InsertBarCommand(doc, push.Fn());
  BarEdit pasted = PasteBarCommand(clip, doc, push.Fn());
  EXPECT_FALSE(inserted.Done);
  EXPECT_FALSE(pasted.Done);
  EXPECT_EQ(inserted.Message, "A tab cannot have more than 65535 bars.");
  EXPECT_EQ(pasted.Message, inserted.Message);
  EXPECT_EQ(push.count, 0);
  EXPECT_EQ(doc.BarCount, kMaxBarCount);
  EXPECT_EQ(doc.Bars.size(), std::size_t{kMaxBarCount});
  EXPECT_FALSE(doc.Modified);
  // Removing one makes room again, and the last bar keeps the top index.
  EXPECT_TRUE(RemoveBarCommand(doc, {}).Done);
  EXPECT_TRUE(PasteBarCommand(clip, doc, {}).Done);
}

TEST(BarPrimitives, InsertAndRemoveRefuseBadArguments) {
  Osnova doc(4, 3, 4);
  std::string error;
  EXPECT_FALSE(InsertBar(doc, 16, 4, 4, error));
  EXPECT_FALSE(InsertBar(doc, 0, 0, 4, error));
  EXPECT_FALSE(InsertBar(doc, 65, 0, 4, error));
  EXPECT_FALSE(InsertBar(doc, 16, 0, 5, error));
  EXPECT_FALSE(RemoveBar(doc, 3, error));
  EXPECT_EQ(doc.BarCount, 3);
  EXPECT_TRUE(InsertBar(doc, 6, -1, 8, error));
  EXPECT_EQ(doc.Bar(3).Length, 6);
  EXPECT_EQ(doc.Bar(3).Denominator, 8);
  EXPECT_TRUE(RemoveBar(doc, 0xFFFFFFFFu, error));
  EXPECT_EQ(doc.BarCount, 3);
  ExpectConsistent(doc);
}
