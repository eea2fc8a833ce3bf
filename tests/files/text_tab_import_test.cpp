#include "files/text_tab_import.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "files/tab_export.h"
#include "tests/expressive_song.h"
#include "tests/random_song.h"
#include "tests/time_feel_song.h"

namespace {

// The notes of one row of one bar as the export would print them ('-' for a rest).
std::string RowText(const Osnova& doc, int bar, int row) {
  const TBar& b = doc.Bar(bar);
  const TNoteRow& r = b.Rows[static_cast<std::size_t>(row)];
  std::string text;
  for (int p = 0; p < b.Length; ++p)
    text += r.Has(p) ? NoteLetter(row, r.Cells[static_cast<std::size_t>(p)].Variant,
                                  r.Cells[static_cast<std::size_t>(p)].Accent)
                     : '-';
  return text;
}

ImportResult Import(const std::string& text) {
  ImportResult result = ImportTextTab(text);
  EXPECT_TRUE(result.Document) << result.Error;
  return result;
}

std::string Joined(const std::vector<std::string>& warnings) {
  std::string all;
  for (const auto& w : warnings) all += w + "\n";
  return all;
}

TEST(TextTabImport, ReadsLabelsInTheCommonStyles) {
  auto result = Import(
      "CC|x---------------|\n"
      " Hi-Hat: |x-x-x-x-x-x-x-x-|\n"
      "Ride   |----x-------x---|\n"
      "sp:|--x-------------|\n"
      "China |-----------x----|\n"
      "T1|------------o---|\n"
      "mt|-------------o--|\n"
      "F.T.|--------------o-|\n"
      "S.D.|----o-------o---|\n"
      "kick|o-------o-------|\n");
  const Osnova& doc = *result.Document;
  EXPECT_TRUE(result.Warnings.empty()) << Joined(result.Warnings);
  ASSERT_EQ(doc.BarCount, 1);
  EXPECT_EQ(RowText(doc, 0, RowCymbals), "x-s--------c----");  // crash, splash, china
  EXPECT_EQ(RowText(doc, 0, RowHiHat), "x-x-x-x-x-x-x-x-");
  EXPECT_EQ(RowText(doc, 0, RowRide), "----x-------x---");
  EXPECT_EQ(RowText(doc, 0, RowTom1), "------------o---");
  EXPECT_EQ(RowText(doc, 0, RowTom2), "-------------o--");
  EXPECT_EQ(RowText(doc, 0, RowFloor), "--------------o-");
  EXPECT_EQ(RowText(doc, 0, RowSnare), "----o-------o---");
  EXPECT_EQ(RowText(doc, 0, RowBass), "o-------o-------");
  EXPECT_TRUE(doc.Modified);
  EXPECT_FALSE(doc.HasFile);
  EXPECT_EQ(doc.FileName, "Unnamed");

  // A label without an opening bar line, the first bar right after it.
  auto loose = Import("hh  x-x-x-x-|x-x-x-x-|\nbd  o-------|o---o---|\n");
  ASSERT_EQ(loose.Document->BarCount, 2);
  EXPECT_EQ(RowText(*loose.Document, 1, RowBass), "o---o---");
  EXPECT_EQ(RowText(*loose.Document, 0, RowHiHat), "x-x-x-x-");
}

TEST(TextTabImport, ReadsCellsAndWarnsOncePerLine) {
  auto result = Import(
      "HH|X-x-o-O-g-f-d-r.|\n"
      "SD|x-X-o-O-g---F-_ |\n"
      "BD|o-x-X-#-----#---|\n"
      "T1|o-y-z-o---------|\n"
      "C |o-#-------------|\n");
  const Osnova& doc = *result.Document;
  EXPECT_EQ(RowText(doc, 0, RowHiHat), "X-x-o-O-x-x-x-x-");
  // x on a snare of a hand-written tab is a hit; marks are hits, upper case accented.
  EXPECT_EQ(RowText(doc, 0, RowSnare), "o-O-o-O-o---O---");
  EXPECT_EQ(RowText(doc, 0, RowBass), "o-o-O-o-----o---");
  EXPECT_EQ(RowText(doc, 0, RowTom1), "o---o-o---------");
  EXPECT_EQ(RowText(doc, 0, RowCymbals), "x-x-------------");
  ASSERT_EQ(result.Warnings.size(), 2u) << Joined(result.Warnings);
  EXPECT_EQ(result.Warnings[0], "Line 4: \"y\" is not a drum note; it is read as a rest.");
  EXPECT_EQ(result.Warnings[1],
            "The tab's 1 flam, 1 drag, 1 roll and 2 chokes are on rows that take no such mark; they "
            "are read as plain hits.");

  // The program's own labels keep its own letters: x on the snare is the rim click.
  auto own = Import("  Snare: |o-x-O-X-|\n");
  const TNoteRow& snare = own.Document->Bar(0).Rows[RowSnare];
  EXPECT_EQ(snare.Cells[0], (TNoteCell{0, 0}));
  EXPECT_EQ(snare.Cells[2], (TNoteCell{1, 0}));
  EXPECT_EQ(snare.Cells[6], (TNoteCell{1, 1}));
}

TEST(TextTabImport, TimingsFollowTheBarLengths) {
  auto result = Import(
      "HH|x-x-x-x-x-x-x-x-|x-x-x-x-x-x-|x-x-x-|x-x-x-x|x-x-x-x-x-x-x-x-x-x-x-x-x-x-x-x-x-x-x-x-|"
      "\n");
  const Osnova& doc = *result.Document;
  ASSERT_EQ(doc.BarCount, 5);
  const int expected[][2] = {{16, 4}, {12, 4}, {6, 8}, {7, 16}, {40, 4}};
  for (int b = 0; b < 5; ++b) {
    EXPECT_EQ(doc.Bar(b).Length, expected[b][0]) << b;
    EXPECT_EQ(doc.Bar(b).Denominator, expected[b][1]) << b;
  }
  EXPECT_EQ(doc.Numerator, 4);

  // The tab's own timing line decides where the lengths agree with it.
  auto eighths = Import("Timing  :  6/8\n\nHH|x-x-x-x-x-x-|x-x-x-x-x-x-x-x-|\n");
  EXPECT_EQ(eighths.Document->Bar(0).Denominator, 8);
  EXPECT_EQ(eighths.Document->Bar(1).Denominator, 4);
  EXPECT_EQ(eighths.Document->Numerator, 6);

  // Rows that disagree: the longest wins. A bar longer than 64 is cut into 64-position bars.
  std::string seventy(70, '-');
  seventy[65] = 'o';
  auto uneven = Import("HH|x-x-x-x-|x-x-|\nSD|----o-------o---|o---|\nBD|----|" + seventy + "|\n");
  const Osnova& u = *uneven.Document;
  ASSERT_EQ(u.BarCount, 3);
  EXPECT_EQ(u.Bar(0).Length, 16);
  EXPECT_EQ(u.Bar(1).Length, 64);
  EXPECT_EQ(u.Bar(2).Length, 6);
  EXPECT_EQ(RowText(u, 2, RowBass), "-o----");
  EXPECT_EQ(RowText(u, 1, RowHiHat).substr(0, 5), "x-x--");
  ASSERT_EQ(uneven.Warnings.size(), 2u) << Joined(uneven.Warnings);
  EXPECT_EQ(uneven.Warnings[0],
            "Line 1: the rows of this tab disagree on the length of a bar; the longest is used.");
  EXPECT_EQ(
      uneven.Warnings[1],
      "Line 1: a bar of 70 positions is longer than 64; it is split into bars of 64 positions.");
}

TEST(TextTabImport, RepeatsSystems) {
  auto times = Import("HH|x-x-|x---| x3\nSD|--o-|o---|\n\nHH|xxxx|\n");
  ASSERT_EQ(times.Document->BarCount, 7);
  for (int b : {0, 2, 4}) EXPECT_EQ(RowText(*times.Document, b, RowSnare), "--o-") << b;
  for (int b : {1, 3, 5}) EXPECT_EQ(RowText(*times.Document, b, RowHiHat), "x---") << b;
  EXPECT_EQ(RowText(*times.Document, 6, RowHiHat), "xxxx");

  // "|:" ... ":|" repeats only the marked bars, twice unless a count follows.
  auto marked = Import("HH|o---|:x-x-|xx--:|x---|\n");
  ASSERT_EQ(marked.Document->BarCount, 6);
  const char* hats[] = {"o---", "x-x-", "xx--", "x-x-", "xx--", "x---"};
  for (int b = 0; b < 6; ++b) EXPECT_EQ(RowText(*marked.Document, b, RowHiHat), hats[b]) << b;
  auto four = Import("BD|:o---:| (x4)\n");
  EXPECT_EQ(four.Document->BarCount, 4);
}

TEST(TextTabImport, FindsTheTabAmongProseAndChords) {
  const std::string text =
      "Here is the groove from the second verse | it took me ages.\n"
      "Am          G         F  | C\n"
      "   1 e + a 2 e + a 3 e + a 4 e + a\n"
      "HH |x-x-x-x-x-x-x-x-|x-x-x-x-x-x-x-x-|\n"
      "Cowbell|o---o---o---o---|o---o---o---o---|\n"
      "SN |----o-------o---|----o-------o-o-|\n"
      "BD |o-------o-o-----|o-------o-o-----|\n"
      "HF |-x---x---x---x--|-x---x---x---x--|\n"
      "\n"
      "Then the fill, play it like this:\n"
      "  Count: |1 e + a 2 e + a 3 e + a 4 e + a |\n"
      "T1 |o-o-o-o---------|\n"
      "FT |--------o-o-o-o-|\n"
      "Tempo: 96 bpm\n"
      "Artist: Nobody in particular\n";
  auto result = Import(text);
  const Osnova& doc = *result.Document;
  ASSERT_EQ(doc.BarCount, 3);
  EXPECT_EQ(RowText(doc, 1, RowSnare), "----o-------o-o-");
  EXPECT_EQ(RowText(doc, 2, RowFloor), "--------o-o-o-o-");
  // The hi-hat foot keeps a line of its own.
  EXPECT_EQ(RowText(doc, 0, RowHiHat), "x-x-x-x-x-x-x-x-");
  EXPECT_EQ(doc.Bar(0).FootNotes, uint64_t{0x2222});
  EXPECT_EQ(doc.Tempo, 96);
  EXPECT_EQ(doc.Artist, "Nobody in particular");
  ASSERT_EQ(result.Warnings.size(), 1u) << Joined(result.Warnings);
  EXPECT_EQ(result.Warnings[0],
            "Line 5: the program has no row for \"Cowbell\"; the line is left out.");
}

TEST(TextTabImport, RefusesTextWithoutATab) {
  // A guitar tab has bar lines and lines named like drums (B, G), but no drum hit.
  const char* guitar =
      "e|-----------------|-----3-----------|\n"
      "B|-----1-----1-----|---------3-------|\n"
      "G|---0-----0-----0-|-------0---0-----|\n"
      "D|-2-----2-----2---|-----------------|\n"
      "A|-----------------|-----------------|\n"
      "E|-----------------|-3---------------|\n";
  for (const char* text : {"", "Just some words.\nAnd | a bar line in prose.\n",
                           "Cowbell|o---o---|\n", "   1 e + a 2 e + a\n", "| Am | G | C |\n",
                           guitar}) {
    ImportResult result = ImportTextTab(text);
    EXPECT_FALSE(result.Document) << text;
    EXPECT_EQ(result.Error, "No drum tab found in the text.") << text;
  }
}

TEST(TextTabImport, ReadsTheSongInformationOfTheExport) {
  auto result = Import(
      "\xEF\xBB\xBF"
      "Artist :   Band\r\nSong :     Tune\r\nAlbum :    \r\nDrummer :  Joe\r\n"
      "Timing  :  4/4\r\nTempo :    2000\r\n\r\nTabbed by: Me\r\nE-mail:    me@example.org\r\n\r\n"
      "BD|o---|\r\n");
  const Osnova& doc = *result.Document;
  EXPECT_EQ(doc.Artist, "Band");
  EXPECT_EQ(doc.Song, "Tune");
  EXPECT_EQ(doc.Album, "");
  EXPECT_EQ(doc.Drummer, "Joe");
  EXPECT_EQ(doc.TabAuthor, "Me");
  EXPECT_EQ(doc.Email, "me@example.org");
  EXPECT_EQ(doc.Tempo, kMaxTempo);

  // A UTF-8 text comes in as the model's Windows-1252; a 1252 text stays as it is.
  auto utf8 = Import("Artist: Mot\xC3\xB6rhead \xE2\x80\x93 \xE6\x97\xA5\nBD|o---|\n");
  EXPECT_EQ(utf8.Document->Artist, "Mot\xF6rhead \x96 ?");
  auto cp1252 = Import("Artist: Mot\xF6rhead\nBD|o---|\n");
  EXPECT_EQ(cp1252.Document->Artist, "Mot\xF6rhead");
}

// Labels of song tabs: numbered toms either way round (a digit first used to end the system),
// sizes, legends that rename a label, web text's no-break spaces, instruments without a row.
TEST(TextTabImport, ReadsTheLabelsOfSongTabsAndTheirLegends) {
  auto result = Import(
      "Legend: G = China, s = hi-hat stomp\n"
      "\n"
      "CY |x---------------|\n"
      "OHH|--x-------------|\n"
      "s  |----x-----------|\n"
      "G  |------x---------|\n"
      "Sp |--------x-------|\n"
      "Cb |x-x-x-x-x-x-x-x-|\n"
      "1T |o---------------|\n"
      "2T |-o--------------|\n"
      "3T |--o-------------|\n"
      "4T |---o------------|\n"
      "SR |----o-------o---|\n"
      "KD |o-------o-------|\n");
  const Osnova& doc = *result.Document;
  ASSERT_EQ(doc.BarCount, 1);
  EXPECT_EQ(RowText(doc, 0, RowCymbals), "x-----c-s-------");
  EXPECT_EQ(RowText(doc, 0, RowHiHat), "--o-x-----------");
  EXPECT_EQ(RowText(doc, 0, RowTom1), "o---------------");
  EXPECT_EQ(RowText(doc, 0, RowTom2), "-oo-------------");
  EXPECT_EQ(RowText(doc, 0, RowFloor), "---o------------");
  EXPECT_EQ(RowText(doc, 0, RowSnare), "----o-------o---");
  EXPECT_EQ(RowText(doc, 0, RowBass), "o-------o-------");
  ASSERT_EQ(result.Warnings.size(), 2u) << Joined(result.Warnings);
  EXPECT_EQ(result.Warnings[0],
            "The tab has 4 toms and the program three tom rows: \"2T\" and \"3T\" go to Tom2.");
  EXPECT_EQ(result.Warnings[1], "Line 8: the program has no row for \"Cb\"; the line is left out.");

  // Three numbered toms without a floor tom: the third is the floor tom; with one, the second tom.
  auto three = Import("T1|o---|\nT2|-o--|\nT3|--o-|\n");
  EXPECT_EQ(RowText(*three.Document, 0, RowFloor), "--o-");
  EXPECT_TRUE(three.Warnings.empty()) << Joined(three.Warnings);
  auto sized = Import("sT|o---|\nmT|-o--|\nFT|--o-|\n");
  EXPECT_EQ(RowText(*sized.Document, 0, RowTom1), "o---");
  EXPECT_EQ(RowText(*sized.Document, 0, RowTom2), "-o--");

  // No-break spaces (UTF-8 from a file, the 1252 byte from an old editor) and thin spaces.
  for (const char* text : {"HH\xC2\xA0\xC2\xA0|x-x-|\nSD\xE2\x80\x89|--o-|\n",
                           "HH\xA0|x-x-|\nSD\xA0\xA0|--o-|\n"}) {
    auto spaced = Import(text);
    EXPECT_TRUE(spaced.Warnings.empty()) << Joined(spaced.Warnings);
    EXPECT_EQ(RowText(*spaced.Document, 0, RowSnare), "--o-");
    EXPECT_EQ(RowText(*spaced.Document, 0, RowHiHat), "x-x-");
  }
}

TEST(TextTabImport, ReadsEveryHitLetterAndNamesTheMarksOnce) {
  auto result = Import(
      "RD |b-x-@-+-*-w-0---|\n"
      "CC |X---b---S---c---|\n"
      "HH |x-0-#-O---------|\n"
      "SD |s-c-g-f-d-r-z-S-|\n"
      "BD |b-B-k-----------|\n");
  const Osnova& doc = *result.Document;
  EXPECT_EQ(RowText(doc, 0, RowRide), "x-x-X-x-x-x-x---");  // @: an accent
  EXPECT_EQ(RowText(doc, 0, RowCymbals), "X---x---S---c---");
  EXPECT_EQ(RowText(doc, 0, RowHiHat), "x-o-x-O---------");
  EXPECT_EQ(RowText(doc, 0, RowSnare), "o-x-o-o-o-o-o-O-");  // c: the cross-stick
  EXPECT_EQ(RowText(doc, 0, RowBass), "o-O-o-----------");
  EXPECT_EQ(doc.Bar(0).Rows[RowSnare].Cells[4].Accent, 0);  // a ghost note is never accented
  EXPECT_EQ(doc.Bar(0).Rows[RowSnare].Cells[4].Ghost, 1);
  auto style = [&](int row, int p) { return static_cast<NoteStyle>(doc.Bar(0).Rows[row].Cells[p].Style); };
  EXPECT_EQ(style(RowSnare, 6), NoteStyle::Flam);
  EXPECT_EQ(style(RowSnare, 8), NoteStyle::Drag);
  EXPECT_EQ(style(RowSnare, 10), NoteStyle::Roll);
  EXPECT_EQ(style(RowSnare, 12), NoteStyle::Roll);
  EXPECT_EQ(style(RowRide, 0), NoteStyle::Bell);
  EXPECT_EQ(style(RowCymbals, 4), NoteStyle::Bell);
  ASSERT_EQ(result.Warnings.size(), 1u) << Joined(result.Warnings);
  EXPECT_EQ(result.Warnings[0],
            "The tab's 1 choke is on a row that takes no such mark; it is read as a plain hit.");
}

// The same label again in one run of lines is the next system, not a layer over the first.
TEST(TextTabImport, ASecondSystemRightUnderTheFirstFollowsIt) {
  auto result = Import(
      "C |----------------|\n"
      "HH|x-x-x-x-x-x-x-x-|\n"
      "BD|o-------o-------|\n"
      "C |X---------------|\n"
      "HH|----x-x-x-x-x-x-|\n"
      "BD|o---------------|\n");
  const Osnova& doc = *result.Document;
  ASSERT_EQ(doc.BarCount, 2);
  EXPECT_EQ(RowText(doc, 0, RowCymbals), "----------------");
  EXPECT_EQ(RowText(doc, 1, RowCymbals), "X---------------");
  EXPECT_EQ(RowText(doc, 1, RowHiHat), "----x-x-x-x-x-x-");
  EXPECT_TRUE(result.Warnings.empty()) << Joined(result.Warnings);

  // Rows with a blank line after each: one system while the labels differ and the bar lines align.
  auto spaced = Import(
      "HH|x-x-x-x-|x-x-x-x-|\n\nSD|----o---|----o---|\n\nBD|o-------|o---o---|\n\n"
      "HH|o-------|\n\nBD|o---o---|\n");
  const Osnova& s = *spaced.Document;
  ASSERT_EQ(s.BarCount, 3);
  EXPECT_EQ(RowText(s, 1, RowBass), "o---o---");
  EXPECT_EQ(RowText(s, 1, RowSnare), "----o---");
  EXPECT_EQ(RowText(s, 2, RowHiHat), "o-------");
  EXPECT_EQ(RowText(s, 2, RowBass), "o---o---");
}

TEST(TextTabImport, ReadsTheTempoAsTabsWriteIt) {
  for (const char* line : {"BPM: 128", "128 BPM", "BPM = 128", "tempo=128", "Tempo 128",
                           "Tempo: 128 bpm", "Song at 128bpm, straight"}) {
    auto result = Import(std::string(line) + "\n\nBD|o---|\n");
    EXPECT_EQ(result.Document->Tempo, 128) << line;
  }
  EXPECT_EQ(Import("Tempo: fast\nBD|o---|\n").Document->Tempo, 120);
  // The first tempo stated counts; a song title is not one.
  auto first = Import("Song : The bpm 99 song\nBPM: 140\nTempo 90\nBD|o---|\n");
  EXPECT_EQ(first.Document->Tempo, 140);
}

// Without bar lines: bars from the counting line above, or 16 cells with a warning.
TEST(TextTabImport, ReadsRowsWithoutBarLines) {
  auto counted = Import(
      "   1 e + a 2 e + a 3 e + a 4 e + a 1 e + a 2 e + a 3 e + a 4 e + a\n"
      "HH x - x - x - x - x - x - x - x - x - x - x - x - x - x - x - x -\n"
      "SD - - - - o - - - - - - - o - - - - - - - o - - - - - - - o - o -\n"
      "BD o - - - - - - - o - - - - - - - o - - - - - - - o - o - - - - -\n");
  const Osnova& c = *counted.Document;
  ASSERT_EQ(c.BarCount, 2);
  EXPECT_EQ(RowText(c, 1, RowSnare), "----o-------o-o-");
  EXPECT_EQ(RowText(c, 1, RowBass), "o-------o-o-----");
  EXPECT_TRUE(counted.Warnings.empty()) << Joined(counted.Warnings);

  auto bare = Import("HH  x-x-x-x-x-x-x-x-x-x-x-x-x-x-x-x-\nBD  o-------o-------o-------o-o-----\n");
  ASSERT_EQ(bare.Document->BarCount, 2);
  EXPECT_EQ(RowText(*bare.Document, 1, RowBass), "o-------o-o-----");
  ASSERT_EQ(bare.Warnings.size(), 1u) << Joined(bare.Warnings);
  EXPECT_EQ(bare.Warnings[0], "Line 1: the rows have no bar lines; they are read in bars of 16 cells.");

  // Eighth notes under a "1 + 2 +" count, without bar lines.
  auto eighths = Import("   1 + 2 + 3 + 4 +\nHH x x x x x x x x\nSD - - o - - - o -\n");
  ASSERT_EQ(eighths.Document->BarCount, 1);
  EXPECT_EQ(RowText(*eighths.Document, 0, RowHiHat), "x-x-x-x-x-x-x-x-");
  EXPECT_EQ(RowText(*eighths.Document, 0, RowSnare), "----o-------o---");

  // Prose that starts with a label is no row.
  EXPECT_FALSE(ImportTextTab("Snare on two and four\nBD is four on the floor\n").Document);
}

// The counting line tells eighths and triplets from sixteenths; a rest cell in front of every
// row pads a 16-cell bar.
TEST(TextTabImport, ReadsGridsOtherThanSixteenths) {
  auto eighths = Import("   1 + 2 + 3 + 4 +\nHH|xxxxxxxx|x-x-x-xx|\nSD|--o---o-|--o---oo|\n");
  const Osnova& e = *eighths.Document;
  ASSERT_EQ(e.BarCount, 2);
  EXPECT_EQ(e.Bar(0).Length, 16);
  EXPECT_EQ(e.Bar(0).Denominator, 4);
  EXPECT_EQ(RowText(e, 0, RowHiHat), "x-x-x-x-x-x-x-x-");
  EXPECT_EQ(RowText(e, 1, RowSnare), "----o-------o-o-");
  EXPECT_TRUE(eighths.Warnings.empty()) << Joined(eighths.Warnings);

  // Beat numbers alone: up to four they are beats over eighths, beyond they count the eighths.
  EXPECT_EQ(Import("   1 2 3 4\nHH|xxxxxxxx|\n").Document->Bar(0).Length, 16);
  EXPECT_EQ(Import("   1 2 3 4 5 6\nHH|x-x-x-x-x-x-|\n").Document->Bar(0).Length, 12);

  // The cells a beat holds under the count say the grid: 3 eighth triplets, 6 sixteenth
  // triplets, 8 32nds, 12 both sixteenths and triplets.
  struct GridCase {
    const char* Text;
    BarGrid Grid;
    int Length;
    int Beats;  // quarters
    const char* Ride;
  };
  const GridCase grids[] = {
      {"   1 + a 2 + a 3 + a 4 + a\nRD|x-xx-xx-xx-x|\nBD|o-----o-----|\n", BarGrid::EighthTriplets, 12, 4,
       "x-xx-xx-xx-x"},
      {"   1 t l + t l 2 t l + t l\nRD|x-x-x-x-x-xx|\n", BarGrid::SixteenthTriplets, 12, 2, "x-x-x-x-x-xx"},
      {"   1 + a   2 + a\nRD|x-x-x-x-x-xx|\n", BarGrid::SixteenthTriplets, 12, 2, "x-x-x-x-x-xx"},
      {"   1 e & a 2 e & a 3 e & a 4 e & a\nRD|x-x-x-x-x-x-x-x-x-x-x-x-x-x-xxxx|\n", BarGrid::ThirtySeconds, 32, 4,
       "x-x-x-x-x-x-x-x-x-x-x-x-x-x-xxxx"},
      {"   1  e t + l a  2  e t + l a\nRD|x--x-x-x-x--x----------x|\n", BarGrid::Mixed, 24, 2,
       "x--x-x-x-x--x----------x"},
  };
  for (const GridCase& c : grids) {
    auto result = Import(c.Text);
    const Osnova& doc = *result.Document;
    ASSERT_EQ(doc.BarCount, 1) << c.Text;
    EXPECT_EQ(doc.Bar(0).Grid, c.Grid) << c.Text;
    EXPECT_EQ(doc.Bar(0).Length, c.Length) << c.Text;
    EXPECT_EQ(doc.Bar(0).Denominator, 4) << c.Text;
    EXPECT_EQ(doc.Numerator, c.Beats) << c.Text;
    EXPECT_EQ(RowText(doc, 0, RowRide), c.Ride) << c.Text;
    EXPECT_TRUE(result.Warnings.empty()) << c.Text << Joined(result.Warnings);
  }

  auto padded = Import("HH|-x-x-x-x-x-x-x-x-|-x-x-x-x-x-x-x-x-|\nSD|-----o-------o---|-----o-------o--o|\n");
  const Osnova& p = *padded.Document;
  ASSERT_EQ(p.BarCount, 2);
  EXPECT_EQ(p.Bar(0).Length, 16);
  EXPECT_EQ(RowText(p, 1, RowSnare), "----o-------o--o");
  // A 17-cell bar with a note in its first cell stays 17/16.
  auto seventeen = Import("HH|x-x-x-x-x-x-x-x-x|\n");
  EXPECT_EQ(seventeen.Document->Bar(0).Length, 17);
}

TEST(TextTabImport, RepeatsAsTabsWriteThem) {
  struct Case {
    const char* Text;
    int Bars;
  };
  const Case cases[] = {
      {"HH|x-x-|x---|\nSD|--o-|o---|\n*4\n", 8},
      {"HH|x-x-|x---|  repeat 4x\nSD|--o-|o---|\n", 8},
      {"HH|x-x-|x---|\nSD|--o-|o---|\nx4 (intro)\n", 8},
      {"HH|x-x-|x---|\nSD|--o-|o---|\n\n(repeat 3 times)\n", 6},
      {"HH|x-x-|x---|\nSD|--o-|o---|\n\nVerse x2\nHH|o---|\n", 3},  // a heading of what follows
      {"  |----Repeat x4----|\nHH|x-x-x-x-|x-x-x-x-|x---|\nSD|----o---|----o---|o---|\n", 9},
      {"  |--x2--|--x3--|\nHH|x-x-x-|x-x-x-|\n", 5},
  };
  for (const Case& c : cases) {
    auto result = Import(c.Text);
    EXPECT_EQ(result.Document->BarCount, c.Bars) << c.Text;
    EXPECT_TRUE(result.Warnings.empty()) << c.Text << Joined(result.Warnings);
  }
  // A song keeps at most the bars it may hold.
  auto many = ImportTextTab("HH|x-|o-| x999\n", 100);
  ASSERT_TRUE(many.Document);
  EXPECT_EQ(many.Document->BarCount, 100);
  ASSERT_EQ(many.Warnings.size(), 1u) << Joined(many.Warnings);
  EXPECT_EQ(many.Warnings[0], "The tab has more than 100 bars; the bars after 100 are left out.");

  // The ruler's bars are repeated in place, the bars after it follow once.
  auto ruler = Import("  |--x2--|\nHH|x-x-|o---|\n");
  ASSERT_EQ(ruler.Document->BarCount, 3);
  EXPECT_EQ(RowText(*ruler.Document, 1, RowHiHat), "x-x-");
  EXPECT_EQ(RowText(*ruler.Document, 2, RowHiHat), "o---");
}

// The program's own text export of random songs reads back to the same bars, notes, texts and
// tempo, as far as the text holds them: bars up to the last with content, parts and comments cut
// to their bars.
TEST(TextTabImport, OwnExportRoundTrip) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 rng(seed);
    auto doc = random_song::Make(rng, 24, true);
    const TBar& first = doc->Bar(0);
    ExportBoxes boxes{std::to_string(NumeratorFromLength(first.Length, first.Denominator)),
                      std::to_string(first.Denominator), std::to_string(doc->Tempo)};
    ImportResult result = ImportTextTab(TextExportBytes(*doc, boxes));
    ASSERT_TRUE(result.Document) << seed;
    EXPECT_TRUE(result.Warnings.empty()) << seed << Joined(result.Warnings);
    const Osnova& back = *result.Document;
    const int n = LastContentBar(*doc, 0, doc->BarCount - 1) + 1;
    ASSERT_EQ(back.BarCount, n) << seed << TextExportBytes(*doc, boxes);
    EXPECT_EQ(back.Tempo, doc->Tempo);
    EXPECT_EQ(back.Artist, doc->Artist);
    EXPECT_EQ(back.Song, doc->Song);
    EXPECT_EQ(back.Drummer, doc->Drummer);
    EXPECT_EQ(back.TabAuthor, doc->TabAuthor);
    EXPECT_EQ(back.Email, doc->Email);
    std::vector<TSongPart> parts;
    for (TSongPart part : doc->SongParts) {
      if (part.StartBar >= n) continue;
      std::string name = part.Name.substr(0, doc->Bar(part.StartBar).Length);
      while (!name.empty() && name.back() == ' ') name.pop_back();
      if (name.empty()) continue;
      part.Name = name;
      parts.push_back(part);
    }
    EXPECT_EQ(back.SongParts, parts) << seed;
    for (int b = 0; b < n; ++b) {
      const TBar& want = doc->Bar(b);
      const TBar& got = back.Bar(b);
      ASSERT_EQ(got.Length, want.Length) << seed << " bar " << b;
      EXPECT_EQ(got.Denominator, want.Denominator) << seed << " bar " << b;
      std::string comment = want.Comment.substr(0, want.Length);
      while (!comment.empty() && comment.back() == ' ') comment.pop_back();
      EXPECT_EQ(got.Comment, comment) << seed << " bar " << b;
      for (int r = RowCymbals; r <= RowBass; ++r)
        EXPECT_EQ(got.Rows[static_cast<std::size_t>(r)], want.Rows[static_cast<std::size_t>(r)])
            << seed << " bar " << b << " row " << r;
    }
  }
}

// A swung song with a bar in every grid reads back from its own text export exactly: the count
// line over each bar says its grid, even where a two-digit beat covers a cell of its own.
TEST(TextTabImport, OwnExportKeepsGridsAndSwing) {
  auto doc = time_feel_song::Make();
  TBar& wide = doc->EditBar(2);  // 16/4 in eighth triplets: beats 10 to 16
  wide.Length = GridLength(16, 4, BarGrid::EighthTriplets);
  for (int p = 0; p < wide.Length; ++p) wide.Rows[RowRide].Set(p, 0, 0);
  for (const SongSwing swing : {SongSwing{33, SwingUnit::Eighths}, SongSwing{20, SwingUnit::Sixteenths}, SongSwing{}}) {
    doc->Swing = swing;
    const std::string text = TextExportBytes(*doc, ExportBoxes{"4", "4", "120"});
    ImportResult result = ImportTextTab(text);
    ASSERT_TRUE(result.Document) << result.Error;
    EXPECT_TRUE(result.Warnings.empty()) << Joined(result.Warnings);
    EXPECT_EQ(expressive_song::Describe(*result.Document), expressive_song::Describe(*doc)) << text;
  }
}

}  // namespace
