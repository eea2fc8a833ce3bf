#include "files/tab_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "tests/time_feel_song.h"

namespace {

const ExportBoxes kBoxes{"4", "4", "120"};
const std::string k10(10, ' ');

std::unique_ptr<Osnova> MakeDoc(int bars, int numerator = 4, int denominator = 4) {
  auto doc = std::make_unique<Osnova>(static_cast<uint8_t>(numerator), static_cast<uint16_t>(bars),
                                      static_cast<uint8_t>(denominator));
  doc->Kit.fill(1);
  doc->TabAuthor.clear();
  doc->Email.clear();
  return doc;
}

// A two-bar song with every kind of text and note, which both exports are checked against.
std::unique_ptr<Osnova> ExampleSong() {
  auto doc = MakeDoc(2);
  doc->Artist = "Band";
  doc->Song = "Tune";
  doc->Drummer = "Joe";
  doc->TabAuthor = "Me";
  TSongPart intro;
  intro.StartBar = 0;
  intro.SetName("Intro");
  doc->SongParts.push_back(intro);
  doc->EditBar(0).Comment = "Intro beat";
  for (int b = 0; b < 2; ++b) {
    TBar& bar = doc->EditBar(b);
    for (int p = 0; p < 16; p += 2) bar.Rows[RowHiHat].Set(p, 0, 0);
    bar.Rows[RowSnare].Set(4, 0, 0);
    bar.Rows[RowSnare].Set(12, 0, b == 1 ? 1 : 0);
    bar.Rows[RowBass].Set(0, 0, 0);
    bar.Rows[RowBass].Set(8, 0, 0);
  }
  doc->EditBar(1).Rows[RowBass].Set(10, 0, 0);
  return doc;
}

// Splits on CR LF; a bare LF or a missing final CR LF fails the test.
std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    auto end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "last line lacks CR LF";
      end = bytes.size();
    }
    lines.push_back(bytes.substr(start, end - start));
    EXPECT_EQ(lines.back().find('\n'), std::string::npos) << "bare LF in line " << lines.size();
    start = end + 2;
  }
  return lines;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

// Readable diff for golden comparisons.
void ExpectSameLines(const std::vector<std::string>& expected, const std::string& actualBytes) {
  auto actual = Lines(actualBytes);
  for (std::size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
    std::string e = i < expected.size() ? expected[i] : "<missing>";
    std::string a = i < actual.size() ? actual[i] : "<missing>";
    EXPECT_EQ(e, a) << "line " << i + 1;
  }
  EXPECT_EQ(Join(expected), actualBytes);
}

// The bar groups of a text export: each starts at an empty line after the header block of 15
// lines; the last two lines are an empty line and the credit line.
std::vector<std::vector<std::string>> Groups(const std::string& text) {
  auto lines = Lines(text);
  std::vector<std::vector<std::string>> groups;
  for (std::size_t i = 15; i + 2 < lines.size(); ++i) {
    if (lines[i].empty())
      groups.emplace_back();
    else if (!groups.empty())
      groups.back().push_back(lines[i]);
  }
  return groups;
}

const std::string* FindLine(const std::vector<std::string>& group, const std::string& prefix) {
  for (const auto& l : group)
    if (l.rfind(prefix, 0) == 0) return &l;
  return nullptr;
}

}  // namespace

TEST(TabExportTest, TextExampleByteForByte) {
  auto doc = ExampleSong();
  ExpectSameLines(
      {"#-----------------------------------PLEASE NOTE---------------------------------#",
       "# This file is the author's own work and represents their interpretation of the #",
       "# song. You may only use this file for private study, scholarship, or research. #",
       "#-------------------------------------------------------------------------------#",
       "",
       "Artist :   Band",
       "Song :     Tune",
       "Album :    ",
       "Drummer :  Joe",
       "Timing  :  4/4",
       "Tempo :    120",
       "",
       "Tabbed by: Me",
       "E-mail:    ",
       "",
       "",
       k10 + "Intro" + std::string(11, ' ') + " " + std::string(16, ' ') + " ",
       k10 + "Intro beat" + std::string(6, ' ') + " " + std::string(17, ' '),
       "  Count: |1 + 2 + 3 + 4 + |1 + 2 + 3 + 4 + |",
       " Hi-Hat: |x-x-x-x-x-x-x-x-|x-x-x-x-x-x-x-x-|",
       "  Snare: |----o-------o---|----o-------O---|",
       "   Bass: |o-------o-------|o-------o-o-----|",
       "",
       "This Drum tab was made with Grooveloom 1.0"},
      TextExportBytes(*doc, kBoxes));
}

TEST(TabExportTest, HtmlExampleByteForByte) {
  auto doc = ExampleSong();
  ExpectSameLines(
      {R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">)",
       "<html><head><title>Band - Tune drum tab</title></head>",
       "<body>",
       R"(<font face="Courier New" color="#ff000f">)",
       R"(<font color="#ff000f"><pre>)",
       "#-----------------------------------PLEASE NOTE---------------------------------#",
       "# This file is the author's own work and represents their interpretation of the #",
       "# song. You may only use this file for private study, scholarship, or research. #",
       "#-------------------------------------------------------------------------------#",
       R"(</font><font color="0000ff">)",
       "Artist :   Band",
       "Song :     Tune",
       "Album :    ",
       "Drummer :  Joe",
       "Timing  :  4/4",
       "Tempo :    120",
       R"(</font><font color="#800080">)",
       "Tabbed by: Me",
       R"(E-mail:    <a href="mailto:"></a>)",
       R"(</font><font color="#000080">)",
       "",
       R"(<font color="fuchsia">          Intro                             </font>)",
       R"(<font color="darkyellow">          Intro beat                        </font>)",
       R"(<font color="#008000">  Count:</font> |1 + 2 + 3 + 4 + |1 + 2 + 3 + 4 + |)",
       R"(<font color="#008000"> Hi-Hat:</font> |x-x-x-x-x-x-x-x-|x-x-x-x-x-x-x-x-|)",
       R"(<font color="#008000">  Snare:</font> |----o-------o---|----o-------O---|)",
       R"(<font color="#008000">   Bass:</font> |o-------o-------|o-------o-o-----|)",
       "</font>",
       R"(<font color="purple">This Drum tab was made with Grooveloom 1.0<br>)",
       R"(GLM site : <a href="https://grooveloom.org/">https://grooveloom.org/</a><br>)",
       R"(GLM created by <a href="mailto:team@grooveloom.org">The Grooveloom developers</a><br>)",
       "</font></pre></body></html>"},
      HtmlExportBytes(*doc, kBoxes));
}

TEST(TabExportTest, TimingAndTempoComeFromTheBoxes) {
  auto doc = ExampleSong();
  doc->Tempo = 99;  // the box, not the document, is written
  auto lines = Lines(TextExportBytes(*doc, ExportBoxes{"7", "8", "133"}));
  EXPECT_EQ(lines[9], "Timing  :  7/8");
  EXPECT_EQ(lines[10], "Tempo :    133");
}

TEST(TabExportTest, WhichBarsAreExported) {
  // Nothing at all: bar 0 only, with a blank comment line and a count line of spaces.
  auto empty = MakeDoc(5);
  EXPECT_EQ(LastContentBar(*empty, 0, 4), 0);
  auto groups = Groups(TextExportBytes(*empty, kBoxes));
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0], (std::vector<std::string>{k10 + std::string(17, ' '),
                                                 "  Count: |                |"}));

  // Trailing empty bars are left out.
  auto doc = MakeDoc(9);
  doc->EditBar(5).Rows[RowSnare].Set(0, 0, 0);
  EXPECT_EQ(LastContentBar(*doc, 0, 8), 5);
  EXPECT_EQ(LastContentBar(*doc, 6, 8), 6);  // nothing in range: lo
  groups = Groups(TextExportBytes(*doc, kBoxes));
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(*FindLine(groups[1], "  Snare:"),
            "  Snare: |----------------|o---------------|");

  // A comment on the last bar keeps every bar, even past the last note.
  doc->EditBar(8).Comment = "end";
  EXPECT_EQ(LastContentBar(*doc, 0, 8), 8);
  groups = Groups(TextExportBytes(*doc, kBoxes));
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(groups[2][0], k10 + "end" + std::string(13, ' ') + " ");
  // A comment before the last note does not cut the export short.
  doc->EditBar(8).Comment.clear();
  doc->EditBar(2).Comment = "x";
  EXPECT_EQ(LastContentBar(*doc, 0, 8), 5);
}

TEST(TabExportTest, HiddenRowsMakeCountsButNeverLinesOrBars) {
  auto doc = MakeDoc(3);
  doc->Kit[RowRide] = 0;
  doc->EditBar(0).Rows[RowSnare].Set(0, 0, 0);
  doc->EditBar(0).Rows[RowRide].Set(6, 0, 0);
  doc->EditBar(2).Rows[RowRide].Set(0, 0, 0);  // hidden: must not extend the export
  EXPECT_EQ(LastContentBar(*doc, 0, 2), 0);
  EXPECT_TRUE(RowHasNotes(*doc, RowRide, 0, 2));
  EXPECT_FALSE(RowHasNotes(*doc, RowRide, 1, 1));

  auto groups = Groups(TextExportBytes(*doc, kBoxes));
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0].size(), 3u);  // comment, count, snare
  EXPECT_EQ(*FindLine(groups[0], "  Count:"), "  Count: |1     +         |");
  EXPECT_EQ(FindLine(groups[0], "   Ride:"), nullptr);

  // Without the count row in the kit there is no count line; rows without notes in the group
  // are left out even when shown.
  doc->Kit[RowCount] = 0;
  groups = Groups(TextExportBytes(*doc, kBoxes));
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0], (std::vector<std::string>{k10 + std::string(17, ' '),
                                                 "  Snare: |o---------------|"}));
}

TEST(TabExportTest, RowHasNotesCountsPositionsPastTheBarLength) {
  auto doc = MakeDoc(2, 3, 4);  // 12 positions
  doc->EditBar(1).Rows[RowTom1].Set(40, 0, 0);
  EXPECT_TRUE(RowHasNotes(*doc, RowTom1, 1, 1));
  EXPECT_FALSE(RowHasNotes(*doc, RowTom1, 0, 0));
  // The row is printed, but only the bar's own positions.
  auto groups = Groups(TextExportBytes(*doc, kBoxes));
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(*FindLine(groups[0], "   Tom1:"), "   Tom1: |------------|------------|");
}

TEST(TabExportTest, PartLinesInEveryGroupOnceAPartExists) {
  auto doc = MakeDoc(8);
  doc->EditBar(7).Rows[RowBass].Set(0, 0, 0);
  auto noParts = Groups(TextExportBytes(*doc, kBoxes));
  ASSERT_EQ(noParts.size(), 2u);
  EXPECT_EQ(noParts[0].size(), 2u);  // comment, count
  EXPECT_EQ(noParts[1].size(), 3u);  // comment, count, bass

  TSongPart verse;
  verse.StartBar = 5;
  verse.SetName("Verse");
  doc->SongParts.push_back(verse);
  TSongPart shadowed;  // a second part at the same bar: the first one in the list names it
  shadowed.StartBar = 5;
  shadowed.SetName("Other");
  doc->SongParts.push_back(shadowed);
  auto groups = Groups(TextExportBytes(*doc, kBoxes));
  ASSERT_EQ(groups.size(), 2u);
  ASSERT_EQ(groups[0].size(), 3u);
  EXPECT_EQ(groups[0][0], k10 + std::string(4 * 17, ' '));
  EXPECT_EQ(groups[1][0], k10 + std::string(17, ' ') + "Verse" + std::string(12, ' ') +
                              std::string(2 * 17, ' '));

  // A part that starts past the exported bars still brings the (blank) part lines.
  doc->SongParts = {verse};
  doc->SongParts[0].StartBar = 200;
  groups = Groups(TextExportBytes(*doc, kBoxes));
  EXPECT_EQ(groups[1][0], k10 + std::string(4 * 17, ' '));
}

TEST(TabExportTest, NamesAndCommentsAreCutAtTheBarEnd) {
  auto doc = MakeDoc(2, 4, 16);  // four positions a bar
  doc->EditBar(0).Comment = "abcdefgh";
  doc->EditBar(1).Comment = "xy";
  TSongPart part;
  part.StartBar = 0;
  part.SetName("Chorus");
  doc->SongParts.push_back(part);
  doc->EditBar(1).Rows[RowSnare].Set(3, 0, 0);
  auto groups = Groups(TextExportBytes(*doc, kBoxes));
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0][0], k10 + "Chor" + " " + "    " + " ");
  EXPECT_EQ(groups[0][1], k10 + "abcd" + " " + "xy  " + " ");
  EXPECT_EQ(groups[0][2], "  Count: |    |   a|");
}

TEST(TabExportTest, GroupsHoldAtMost64Positions) {
  // 3/4 bars of 12 positions: five fill 60, a sixth would make 72.
  auto doc = MakeDoc(7, 3, 4);
  doc->EditBar(6).Rows[RowHiHat].Set(11, 1, 1);
  auto groups = Groups(TextExportBytes(*doc, kBoxes));
  ASSERT_EQ(groups.size(), 2u);
  std::string blank5 = "  Count: |";
  for (int i = 0; i < 5; ++i) blank5 += std::string(12, ' ') + "|";
  EXPECT_EQ(groups[0], (std::vector<std::string>{k10 + std::string(5 * 13, ' '), blank5}));
  EXPECT_EQ(*FindLine(groups[1], " Hi-Hat:"),
            " Hi-Hat: |------------|-----------O|");

  // A 16/4 bar stands alone between 4/4 bars; its count line runs 7 characters longer than its
  // instrument lines because of the two-digit beats 10..16.
  auto wide = MakeDoc(3);
  wide->EditBar(1).Reset(16, 4);
  for (int p = 0; p < 64; ++p) wide->EditBar(1).Rows[RowRide].Set(p, 0, 0);
  wide->EditBar(2).Rows[RowRide].Set(0, 0, 0);
  groups = Groups(TextExportBytes(*wide, kBoxes));
  ASSERT_EQ(groups.size(), 3u);
  const std::string& count = *FindLine(groups[1], "  Count:");
  const std::string& ride = *FindLine(groups[1], "   Ride:");
  EXPECT_EQ(ride, "   Ride: |" + std::string(64, 'x') + "|");
  EXPECT_EQ(count.size(), ride.size() + 7);
  EXPECT_EQ(count.substr(count.size() - 16), "14e+a15e+a16e+a|");
  EXPECT_NE(count.find("|1e+a2e+a3e+a4e+a5e+a6e+a7e+a8e+a9e+a10e+a11e+a12e+a13e+a"),
            std::string::npos);
}

TEST(TabExportTest, EightBitTextsAreWrittenAsStored) {
  auto doc = MakeDoc(1);
  doc->Artist = "Mot\xf6rhead";
  doc->Email = "j\xe9r\xf4me@example.org";
  doc->EditBar(0).Comment = "\x80\xe9t\xe9";  // euro sign and accents in Windows-1252
  auto text = TextExportBytes(*doc, kBoxes);
  auto lines = Lines(text);
  EXPECT_EQ(lines[5], "Artist :   Mot\xf6rhead");
  EXPECT_EQ(lines[13], "E-mail:    j\xe9r\xf4me@example.org");
  EXPECT_EQ(Groups(text)[0][0], k10 + "\x80\xe9t\xe9" + std::string(12, ' ') + " ");
  auto html = HtmlExportBytes(*doc, kBoxes);
  EXPECT_NE(html.find("<title>Mot\xf6rhead - "), std::string::npos);
  EXPECT_NE(html.find("<a href=\"mailto:j\xe9r\xf4me@example.org\">j\xe9r\xf4me@example.org</a>"),
            std::string::npos);
  EXPECT_NE(html.find("          \x80\xe9t\xe9             </font>"), std::string::npos);
}

TEST(TabExportTest, HtmlEscapesUserTextsAfterFitting) {
  auto doc = MakeDoc(2, 4, 16);  // four positions a bar
  doc->Artist = "<script>";
  doc->Song = "Rock & \"Roll\"";
  doc->Album = "a<b";
  doc->TabAuthor = "Tom & Jerry";
  doc->Email = "x\"><b>@y";
  doc->EditBar(0).Comment = "<b>&tail";  // cut to "<b>&" first, then escaped
  doc->EditBar(1).Comment = "\"";
  TSongPart part;
  part.StartBar = 1;
  part.SetName("R&B");
  doc->SongParts.push_back(part);
  doc->EditBar(1).Rows[RowSnare].Set(0, 0, 0);
  auto lines = Lines(HtmlExportBytes(*doc, ExportBoxes{"4", "16", "<1>"}));
  EXPECT_EQ(lines[1],
            "<html><head><title>&lt;script&gt; - Rock &amp; &quot;Roll&quot; drum tab</title>"
            "</head>");
  EXPECT_EQ(lines[12], "Album :    a&lt;b");
  EXPECT_EQ(lines[15], "Tempo :    &lt;1&gt;");
  EXPECT_EQ(lines[17], "Tabbed by: Tom &amp; Jerry");
  EXPECT_EQ(lines[18], R"(E-mail:    <a href="mailto:x&quot;&gt;&lt;b&gt;@y">x&quot;&gt;&lt;b&gt;@y</a>)");
  EXPECT_EQ(lines[21], R"(<font color="fuchsia">               R&amp;B  </font>)");
  EXPECT_EQ(lines[22], R"(<font color="darkyellow">          &lt;b&gt;&amp; &quot;    </font>)");
  // The text export keeps them as typed.
  auto text = Lines(TextExportBytes(*doc, kBoxes));
  EXPECT_EQ(text[5], "Artist :   <script>");
  EXPECT_EQ(text[17], k10 + "<b>& \"    ");
}

TEST(TabExportTest, HtmlCarriesTheTextExportLines) {
  // Strip the tags and entities from the page: what is left between the opening block and the
  // closing lines is the text export, line for line.
  auto doc = ExampleSong();
  doc->EditBar(1).Comment = "A&B <c>";
  doc->Album = "\"Best\"";
  doc->Email = "me@example.org";
  for (int b = 0; b < 6; ++b) {
    doc->Bars.push_back(std::make_unique<TBar>(4, b % 2 ? 3 : 5));
    doc->EditBar(static_cast<int>(doc->Bars.size()) - 1).Rows[RowTom2].Set(b, 0, 1);
  }
  doc->BarCount = 8;
  auto html = Lines(HtmlExportBytes(*doc, kBoxes));
  auto text = Lines(TextExportBytes(*doc, kBoxes));
  ASSERT_EQ(html.size(), text.size() + 8);
  auto plain = [](const std::string& line) {
    std::string out;
    bool inTag = false;
    for (char c : line) {
      if (c == '<') inTag = true;
      else if (c == '>') inTag = false;
      else if (!inTag) out += c;
    }
    for (auto [entity, ch] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""},
                              {"&amp;", "&"}})
      for (auto at = out.find(entity); at != std::string::npos; at = out.find(entity, at + 1))
        out.replace(at, std::string(entity).size(), ch);
    return out;
  };
  for (std::size_t i = 0; i < text.size(); ++i)
    EXPECT_EQ(plain(html[i + 5]), text[i]) << "text line " << i + 1;
}

TEST(TabExportTest, ExportsWriteAtomically) {
  auto dir = std::filesystem::temp_directory_path() / "grooveloom_tab_export_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  auto doc = ExampleSong();
  std::string error;

  std::string tabPath = (dir / "song.tab").string();
  ASSERT_TRUE(ExportText(*doc, tabPath, kBoxes, error)) << error;
  std::string written;
  ASSERT_TRUE(ReadWholeFile(tabPath, written, error));
  EXPECT_EQ(written, TextExportBytes(*doc, kBoxes));

  std::string htmlPath = (dir / "song.html").string();
  ASSERT_TRUE(ExportHtml(*doc, htmlPath, kBoxes, error)) << error;
  ASSERT_TRUE(ReadWholeFile(htmlPath, written, error));
  EXPECT_EQ(written, HtmlExportBytes(*doc, kBoxes));

  // A disk that fills up part-way: failure reported, the old file untouched, no temp left.
  std::string before = written;
  TestWriteFaults().FailAfterBytes = 100;
  error.clear();
  EXPECT_FALSE(ExportHtml(*doc, htmlPath, ExportBoxes{"3", "4", "90"}, error));
  TestWriteFaults().FailAfterBytes = -1;
  EXPECT_FALSE(error.empty());
  ASSERT_TRUE(ReadWholeFile(htmlPath, written, error));
  EXPECT_EQ(written, before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                          std::filesystem::directory_iterator()),
            2);

  // A folder that does not exist: the system's reason.
  error.clear();
  EXPECT_FALSE(ExportText(*doc, (dir / "missing" / "x.tab").string(), kBoxes, error));
  EXPECT_EQ(error, "No such file or directory");
  std::filesystem::remove_all(dir);
}

// Bars of other grids count one character per cell, so their counts stand over their notes, and a
// swinging song names its swing beside the tempo.
TEST(TabExportTest, GridBarsCountOneCharacterPerCellAndSwingIsNamed) {
  auto doc = time_feel_song::Make();
  doc->Kit.fill(1);
  const std::string text = TextExportBytes(*doc, kBoxes);
  const auto lines = Lines(text);
  ASSERT_GT(lines.size(), 11u);
  EXPECT_EQ(lines[10], "Tempo :    120");
  EXPECT_EQ(lines[11], "Swing : 33% 8ths");
  EXPECT_NE(text.find("  Count: |1e a2e a3e a4e a|1       2       3       4       |1+a2+a3+a4+a|\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(HtmlExportBytes(*doc, kBoxes).find("\r\nSwing : 33% 8ths\r\n"), std::string::npos);

  // Two-digit beats of a 16/4 bar of eighth triplets cover the cell after them.
  auto wide = MakeDoc(1);
  TBar& bar = wide->EditBar(0);
  bar.Grid = BarGrid::EighthTriplets;
  bar.Length = GridLength(16, 4, bar.Grid);
  for (int p = 0; p < bar.Length; ++p) bar.Rows[RowRide].Set(p, 0, 0);
  const auto groups = Groups(TextExportBytes(*wide, kBoxes));
  ASSERT_EQ(groups.size(), 1u);
  const std::string& count = *FindLine(groups[0], "  Count:");
  EXPECT_EQ(count.size(), FindLine(groups[0], "   Ride:")->size());
  EXPECT_NE(count.find("|1+a2+a3+a4+a5+a6+a7+a8+a9+a10a11a12a13a14a15a16a|"), std::string::npos) << count;
  EXPECT_EQ(TextExportBytes(*wide, kBoxes).find("Swing"), std::string::npos);
}
