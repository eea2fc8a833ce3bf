#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "layout/page_layout.h"
#include "layout/view_layout.h"

namespace {

const ExportBoxes kPageBoxes{"4", "4", "120"};

// A song of `count` bars with the given lengths in turn, a note in every bar so all print.
Osnova Song(int count, std::initializer_list<int> lengths) {
  Osnova doc(4, static_cast<uint16_t>(count), 4);
  const std::vector<int> cycle(lengths);
  for (int b = 0; b < count; ++b) {
    TBar& bar = doc.EditBar(b);
    bar.Length = static_cast<uint8_t>(cycle[static_cast<std::size_t>(b) % cycle.size()]);
    bar.Rows[RowSnare].Set(0, 0, 0);
  }
  return doc;
}

std::vector<std::string> TextsOf(const print::PrintedPage& page, print::TextStyle style) {
  std::vector<std::string> texts;
  for (const auto& t : page.Texts)
    if (t.Style == style) texts.push_back(t.Text);
  return texts;
}

// Every bar up to the last is printed once, in order, and no system crosses the foot of its page.
void ExpectWholeBarsInOrder(const Osnova& doc, const print::PageLayout& layout) {
  int next = 0;
  const double bottom = layout.ContentHeight - print::kFooterHeight;
  for (std::size_t p = 0; p < layout.Pages.size(); ++p) {
    const auto& page = layout.Pages[p];
    ASSERT_FALSE(page.Systems.empty()) << "page " << p;
    double previousEnd = 0.0;
    for (const auto& system : page.Systems) {
      EXPECT_EQ(system.FirstBar, next) << "page " << p;
      EXPECT_GE(system.Top, previousEnd - 1e-9) << "systems overlap on page " << p;
      EXPECT_LE(system.Top + print::SystemInkHeight(layout, system), bottom + 1e-9)
          << "bars " << system.FirstBar << ".." << system.LastBar << " cross the foot of page " << p;
      const std::vector<int> columns = print::StartColumns(doc, system);
      EXPECT_LE(columns.back() + doc.Bar(system.LastBar).Length, view::kColumns);
      previousEnd = system.Top + print::SystemInkHeight(layout, system);
      next = system.LastBar + 1;
    }
  }
  EXPECT_EQ(next, layout.LastBar + 1);
}

}  // namespace

TEST(PageLayout, BarsAreNeverSplitAcrossPagesOnEitherPaper) {
  Osnova doc = Song(700, {16, 12, 20, 64, 6, 16, 16, 1});
  doc.SongParts = {{3, "Verse"}, {40, "Chorus"}, {41, "Bridge"}, {699, "Outro"}};
  doc.Kit[RowRide] = 0;
  RecomputeLineOfRow(doc);
  for (const print::Paper& paper : {print::kA4, print::kLetter}) {
    SCOPED_TRACE(paper.Name);
    const print::PageLayout layout = print::LayOutPages(doc, kPageBoxes, paper);
    EXPECT_GT(layout.Pages.size(), 10u);
    ExpectWholeBarsInOrder(doc, layout);
  }
}

TEST(PageLayout, SystemsWrapWhereTheViewWrapsItsLines) {
  Osnova doc = Song(60, {16, 16, 16, 20, 12, 64, 3, 33, 30});
  const print::PageLayout layout = print::LayOutPages(doc, kPageBoxes, print::kA4);
  for (const auto& page : layout.Pages) {
    for (const auto& system : page.Systems) {
      LayOutView(doc, static_cast<uint16_t>(system.FirstBar));
      int lastOnLine = system.FirstBar;
      while (lastOnLine + 1 <= doc.LastVisibleBar && doc.Bar(lastOnLine + 1).ViewLine == 0) ++lastOnLine;
      EXPECT_EQ(system.LastBar, lastOnLine) << "system from bar " << system.FirstBar;
      const std::vector<int> columns = print::StartColumns(doc, system);
      for (int b = system.FirstBar; b <= system.LastBar; ++b)
        EXPECT_EQ(columns[static_cast<std::size_t>(b - system.FirstBar)], doc.Bar(b).StartCol);
    }
  }
}

TEST(PageLayout, HeaderOnTheFirstPageOnlyAndAPageNumberOnEvery) {
  Osnova doc = Song(200, {16});
  doc.Song = "Groove";
  doc.Artist = "Band";
  doc.Drummer = "Joe";
  doc.TabAuthor = "Me";
  const print::PageLayout layout = print::LayOutPages(doc, {"3", "4", "96"}, print::kA4);
  ASSERT_GE(layout.Pages.size(), 3u);
  const int count = static_cast<int>(layout.Pages.size());

  const auto& first = layout.Pages[0];
  EXPECT_EQ(TextsOf(first, print::TextStyle::Title), std::vector<std::string>{"Groove"});
  EXPECT_EQ(TextsOf(first, print::TextStyle::Subtitle), std::vector<std::string>{"Band"});
  // Empty fields (the album) are left out; timing and tempo are the boxes'.
  EXPECT_EQ(TextsOf(first, print::TextStyle::FieldLabel),
            (std::vector<std::string>{"Drummer:", "Timing:", "Tempo:", "Tabbed by:"}));
  EXPECT_EQ(TextsOf(first, print::TextStyle::FieldValue),
            (std::vector<std::string>{"Joe", "3/4", "96", "Me"}));
  double headerBottom = 0.0;
  for (const auto& t : first.Texts)
    if (t.Style != print::TextStyle::PageNumber) headerBottom = std::max(headerBottom, t.Y + t.Height);
  EXPECT_GE(first.Systems.front().Top, headerBottom);

  for (int p = 0; p < count; ++p) {
    const auto& page = layout.Pages[static_cast<std::size_t>(p)];
    EXPECT_EQ(TextsOf(page, print::TextStyle::PageNumber),
              std::vector<std::string>{print::PageNumberText(p, count)});
    if (p > 0) {
      EXPECT_EQ(page.Texts.size(), 1u) << "page " << p + 1 << " has more than its number";
      EXPECT_EQ(page.Systems.front().Top, 0.0);
    }
  }
  EXPECT_EQ(print::PageNumberText(1, 3), "Page 2 of 3");
  // The header takes room: the first page holds fewer systems than the second.
  EXPECT_LT(layout.Pages[0].Systems.size(), layout.Pages[1].Systems.size());
}

TEST(PageLayout, PageCountFollowsThePaperAndTheShownRows) {
  Osnova doc = Song(400, {16});
  const print::PageLayout a4 = print::LayOutPages(doc, kPageBoxes, print::kA4);
  const print::PageLayout letter = print::LayOutPages(doc, kPageBoxes, print::kLetter);
  // Letter is wider for its height: scaled to its width, it holds fewer lines than A4.
  EXPECT_GT(letter.Pages.size(), a4.Pages.size());
  // Systems of all eight rows are 180 apart and their bar lines end 166 below their top: a page
  // after the first holds as many as fit whole above its foot.
  const double bottom = a4.ContentHeight - print::kFooterHeight;
  const int perPage = static_cast<int>((bottom - 166) / 180) + 1;
  EXPECT_EQ(static_cast<int>(a4.Pages[1].Systems.size()), perPage);

  // Fewer shown rows make shorter systems and fewer pages.
  for (int r = RowCymbals; r <= RowFloor; ++r) doc.Kit[r] = 0;
  RecomputeLineOfRow(doc);
  const print::PageLayout small = print::LayOutPages(doc, kPageBoxes, print::kA4);
  EXPECT_EQ(small.LineHeight, 120);
  EXPECT_LT(small.Pages.size(), a4.Pages.size());
  ExpectWholeBarsInOrder(doc, small);
}

TEST(PageLayout, TrailingEmptyBarsAreLeftOutAsInTheTextExport) {
  Osnova doc(4, 12, 4);
  print::PageLayout layout = print::LayOutPages(doc, kPageBoxes, print::kA4);
  ASSERT_EQ(layout.Pages.size(), 1u);
  EXPECT_EQ(layout.LastBar, 0);
  ASSERT_EQ(layout.Pages[0].Systems.size(), 1u);
  EXPECT_EQ(layout.Pages[0].Systems[0].LastBar, 0);

  doc.EditBar(5).Rows[RowBass].Set(0, 0, 0);
  EXPECT_EQ(print::LayOutPages(doc, kPageBoxes, print::kA4).LastBar, 5);
  doc.EditBar(11).Comment = "end";
  EXPECT_EQ(print::LayOutPages(doc, kPageBoxes, print::kA4).LastBar, 11);
}

TEST(PageLayout, PartNamesStandAboveTheBarsWherePartsStart) {
  Osnova doc = Song(12, {16});
  // The first part in list order names a bar; a part beyond the printed bars is not shown.
  doc.SongParts = {{5, "Chorus"}, {0, "Intro"}, {5, "Other"}, {40, "Gone"}};
  const print::PageLayout layout = print::LayOutPages(doc, kPageBoxes, print::kA4);
  const auto& systems = layout.Pages[0].Systems;
  ASSERT_EQ(systems.size(), 3u);
  ASSERT_EQ(systems[0].Parts.size(), 1u);
  EXPECT_EQ(systems[0].Parts[0].Bar, 0);
  EXPECT_EQ(systems[0].Parts[0].Name, "Intro");
  ASSERT_EQ(systems[1].Parts.size(), 1u);
  EXPECT_EQ(systems[1].Parts[0].Bar, 5);
  EXPECT_EQ(systems[1].Parts[0].Name, "Chorus");
  EXPECT_TRUE(systems[2].Parts.empty());
  // The part strip pushes the system's lines down and the next system with it.
  EXPECT_EQ(systems[1].LineTop(), systems[1].Top + print::kPartStrip);
  EXPECT_EQ(systems[2].Top, systems[1].Top + print::kPartStrip + layout.LineHeight);
}

TEST(PageLayout, PartNamesAndCommentsNeverOverprintAndLoseNoText) {
  // Four short bars a line, each starting a part with a long name and carrying a comment longer
  // than its bar; the line's last comment is longer than the room left on the page.
  Osnova doc = Song(8, {16});
  const std::string longComment =
      "crash on the one, then open hi-hat with the left foot until the fill comes in at the end";
  for (int b = 0; b < 8; ++b) {
    doc.SongParts.push_back({b, "Part number " + std::to_string(b) + " of the song"});
    doc.EditBar(b).Comment = b == 3 ? longComment : "comment of bar " + std::to_string(b) + " is long";
  }
  doc.EditBar(7).Comment = std::string(120, 'x');  // one word longer than a line
  const print::PageLayout layout = print::LayOutPages(doc, kPageBoxes, print::kA4);
  ExpectWholeBarsInOrder(doc, layout);

  std::string commentsRead;
  int partsRead = 0;
  for (const auto& page : layout.Pages)
    for (const auto& system : page.Systems) {
      for (std::size_t i = 0; i < system.Texts.size(); ++i) {
        const print::PlacedText& a = system.Texts[i];
        EXPECT_GE(a.X, 0.0);
        EXPECT_LE(a.X + a.Width, layout.ContentWidth) << a.Text;
        EXPECT_NEAR(a.Width, a.Text.size() * print::kTextAdvance, 1e-9);
        // Above the system's bar lines, below its top.
        EXPECT_GE(a.Y, system.Top);
        EXPECT_LE(a.Y + a.Height, system.LineTop() + view::BarLineTop(layout.LineHeight, 0)) << a.Text;
        for (std::size_t j = i + 1; j < system.Texts.size(); ++j) {
          const print::PlacedText& b = system.Texts[j];
          const bool apart = a.X + a.Width <= b.X || b.X + b.Width <= a.X ||
                             a.Y + a.Height <= b.Y || b.Y + b.Height <= a.Y;
          EXPECT_TRUE(apart) << "\"" << a.Text << "\" overprints \"" << b.Text << "\"";
        }
        if (a.Style == print::TextStyle::Comment) commentsRead += a.Text + " ";
        if (a.Style == print::TextStyle::PartName) ++partsRead;
      }
    }
  // Every word of every comment is on paper, in order; every part name is there.
  std::string commentsWritten;
  for (int b = 0; b < 8; ++b) commentsWritten += doc.Bar(b).Comment + " ";
  auto squeeze = [](std::string s) {
    std::erase(s, ' ');
    return s;
  };
  EXPECT_EQ(squeeze(commentsRead), squeeze(commentsWritten));
  EXPECT_GE(partsRead, 8);
}

TEST(PageLayout, WrapBreaksBetweenWordsAndInsideWordsLongerThanALine) {
  EXPECT_EQ(print::WrapText("one two three", 7), (std::vector<std::string>{"one two", "three"}));
  EXPECT_EQ(print::WrapText("  abcdefghij  x ", 4),
            (std::vector<std::string>{"abcd", "efgh", "ij x"}));
  EXPECT_TRUE(print::WrapText("   ", 5).empty());
}

// A swung song says so with the song information; bars of finer grids take a column per cell, so
// two 4/4 bars of 32nds fill a system as two of sixteenths fill half of one.
TEST(PageLayout, SwingStandsWithTheSongInformationAndGridBarsTakeAColumnPerCell) {
  Osnova doc = Song(6, {32, 32, 16});
  for (int b : {0, 1, 3, 4}) doc.EditBar(b).Grid = BarGrid::ThirtySeconds;
  doc.Swing = SongSwing{33, SwingUnit::Eighths};
  const print::PageLayout layout = print::LayOutPages(doc, kPageBoxes, print::kA4);
  const auto& first = layout.Pages[0];
  EXPECT_EQ(TextsOf(first, print::TextStyle::FieldLabel),
            (std::vector<std::string>{"Timing:", "Tempo:", "Swing:"}));
  EXPECT_EQ(TextsOf(first, print::TextStyle::FieldValue),
            (std::vector<std::string>{"4/4", "120", "33% 8ths"}));
  ASSERT_EQ(first.Systems.size(), 3u);
  EXPECT_EQ(first.Systems[0].LastBar, 1);
  EXPECT_EQ(first.Systems[1].FirstBar, 2);
  EXPECT_EQ(print::StartColumns(doc, first.Systems[1]), (std::vector<int>{0, 16}));
  ExpectWholeBarsInOrder(doc, layout);
}
