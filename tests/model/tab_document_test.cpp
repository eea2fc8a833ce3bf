#include <gtest/gtest.h>

#include "model/program_settings.h"
#include "model/tab_document.h"

TEST(NoteLetters, FollowRowVariantAndAccent) {
  EXPECT_EQ(NoteLetter(RowHiHat, 1, 1), 'O');
  EXPECT_EQ(NoteLetter(RowRide, 3, 1), 'X');
  EXPECT_EQ(NoteLetter(RowCount, 0, 0), '?');
  EXPECT_EQ(NoteLetter(RowSnare, 255, 1), '?');
  EXPECT_EQ(NoteLetter(9, 0, 1), '?');
  EXPECT_EQ(NoteLetter(RowCymbals, 7, 0), 'c');
  EXPECT_EQ(NoteLetter(RowSnare, 1, 0), 'x');
}

TEST(CountLabels, CountBeatsAndSubdivisions) {
  const char* expected[] = {"1", "e", "+", "a", "2", "e", "+", "a"};
  for (int p = 0; p < 8; ++p) EXPECT_EQ(GridCountLabel(BarGrid::Sixteenths, p), expected[p]) << p;
  EXPECT_EQ(GridCountLabel(BarGrid::Sixteenths, 60), "16");
  EXPECT_EQ(GridCountLabel(BarGrid::Sixteenths, 63), "a");
}

TEST(Timing, LengthAndNumeratorRoundTrip) {
  EXPECT_EQ(LengthFromTiming(16, 4), 64);
  EXPECT_EQ(LengthFromTiming(1, 16), 1);
  EXPECT_EQ(LengthFromTiming(7, 8), 14);
  EXPECT_EQ(LengthFromTiming(3, 5), 0);
  for (int d : {4, 8, 16})
    for (int n = 1; n <= 16; ++n) EXPECT_EQ(NumeratorFromLength(LengthFromTiming(n, d), d), n);
  EXPECT_EQ(DenominatorIndex(16), 2);
  EXPECT_EQ(DenominatorIndex(2), 255);
}

TEST(Document, NewDocumentDefaults) {
  ProgramSettings settings;
  settings.DefaultTabAuthor = std::string(60, 'a');
  settings.DefaultEmail = "me@example.org";
  Osnova doc(3, 12, 4);
  settings.StartSong(doc);
  EXPECT_EQ(doc.BarCount, 12);
  ASSERT_EQ(doc.Bars.size(), 12u);
  EXPECT_EQ(doc.Bar(5).Length, 12);
  EXPECT_EQ(doc.Tempo, 120);
  EXPECT_EQ(doc.FileName, "Unnamed");
  EXPECT_FALSE(doc.Modified);
  EXPECT_FALSE(doc.HasFile);
  EXPECT_EQ(doc.TabAuthor.size(), kInfoTextLength);
  EXPECT_EQ(doc.Email, "me@example.org");
  for (const auto& row : doc.Bar(0).Rows) {
    EXPECT_EQ(row.Notes, 0u);
    EXPECT_EQ(row.Cells[17].Variant, 255);
  }
}

TEST(Document, KitDecidesShownRowsAndTheirLines) {
  ProgramSettings settings;
  settings.GlobalKit = {1, 0, 0, 0, 0, 0, 0, 1, 0};
  Osnova doc(4, 1, 4);
  settings.StartSong(doc);  // a new song takes the kit in use
  EXPECT_EQ(ShownInstrumentRows(doc), 1);
  EXPECT_EQ(doc.LineOfRow[RowCount], 0);
  EXPECT_EQ(doc.LineOfRow[RowSnare], 1);
}

TEST(Document, ColumnHasNoteIgnoresCountRowAndNoteCountStopsAtLength) {
  TBar bar(4, 4);
  bar.Rows[RowCount].Notes = 1;  // never a note, whatever it holds
  EXPECT_FALSE(ColumnHasNote(bar, 0));
  bar.Rows[RowBass].Set(0, 0, 0);
  EXPECT_TRUE(ColumnHasNote(bar, 0));
  bar.Rows[RowSnare].Set(10, 0, 0);
  bar.Rows[RowSnare].Set(63, 0, 0);
  EXPECT_EQ(NoteCount(bar.Rows[RowSnare], 8), 0);
  EXPECT_EQ(NoteCount(bar.Rows[RowSnare], 16), 1);
  EXPECT_EQ(NoteCount(bar.Rows[RowSnare], 64), 2);
}

TEST(Document, ResetEmptiesTheBarInItsNewTiming) {
  TBar bar(4, 4);
  bar.Rows[RowSnare].Set(3, 1, 1);
  bar.Comment = "fill";
  bar.Reset(2, 4);
  EXPECT_EQ(bar.Length, 8);
  EXPECT_TRUE(bar.Comment.empty());
  EXPECT_FALSE(bar.Rows[RowSnare].Has(3));
  EXPECT_EQ(bar.Rows[RowSnare].Cells[3].Variant, 255);
}

TEST(Document, BarsOfLongSongsKeepTheirOwnContentThroughReuse) {
  for (int round = 0; round < 2; ++round) {  // the second round reuses the first round's storage
    Osnova doc(4, 20000, 4);
    for (int b = 0; b < 20000; ++b) {
      doc.EditBar(b).Comment = "bar " + std::to_string(b) + std::string(40, 'x');
      doc.EditBar(b).Rows[RowBass].Set(b % 64, 0, 1);
    }
    auto extra = std::make_unique<TBar>(8, 7);
    for (int b = 0; b < 20000; ++b) {
      const TBar& bar = doc.Bar(b);
      ASSERT_EQ(bar.Comment, "bar " + std::to_string(b) + std::string(40, 'x'));
      ASSERT_EQ(bar.Rows[RowBass].Notes, uint64_t{1} << (b % 64));
      ASSERT_EQ(bar.Length, 16);
    }
    EXPECT_EQ(extra->Length, 14);
    EXPECT_EQ(extra->Rows[RowSnare].Cells[63].Variant, 255);
  }
}

// Inserting and removing across chunk boundaries keeps the order, and a copy taken before sees
// none of it: not the moves, not the writes.
TEST(Document, BarArrayKeepsOrderAcrossChunksAndCopiesStayAsTheyWere) {
  BarArray bars;
  std::vector<std::string> want;
  auto bar = [](const std::string& name) {
    auto b = NewBar(4, 4);
    b->Comment = name;
    return b;
  };
  for (int i = 0; i < 200; ++i) {
    bars.push_back(bar(std::to_string(i)));
    want.push_back(std::to_string(i));
  }
  const BarArray copy = bars;
  const std::vector<std::string> copyWant = want;
  for (std::size_t at : {0u, 63u, 64u, 128u, 203u}) {
    bars.insert(at, bar("new " + std::to_string(at)));
    want.insert(want.begin() + static_cast<std::ptrdiff_t>(at), "new " + std::to_string(at));
  }
  for (std::size_t at : {64u, 0u, 199u, 201u}) {
    bars.erase(at);
    want.erase(want.begin() + static_cast<std::ptrdiff_t>(at));
  }
  bars.Edit(100).Comment = "edited";
  want[100] = "edited";
  ASSERT_EQ(bars.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) ASSERT_EQ(bars[i]->Comment, want[i]) << i;
  ASSERT_EQ(copy.size(), copyWant.size());
  for (std::size_t i = 0; i < copyWant.size(); ++i) ASSERT_EQ(copy[i]->Comment, copyWant[i]) << i;
  while (bars.size() > 1) bars.erase(0);
  EXPECT_EQ(bars[0]->Comment, want.back());
}
