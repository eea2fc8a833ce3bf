#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "common/atomic_file.h"
#include "files/tab_file.h"
#include "tests/test_folder.h"

namespace fs = std::filesystem;

namespace {

std::string FromHex(std::string_view hex) {
  std::string bytes;
  int high = -1;
  for (char c : hex) {
    int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
            : (c >= 'A' && c <= 'F')                     ? c - 'A' + 10
            : (c >= 'a' && c <= 'f')                     ? c - 'a' + 10
                                                         : -1;
    if (v < 0) continue;
    if (high < 0) {
      high = v;
    } else {
      bytes.push_back(static_cast<char>(high * 16 + v));
      high = -1;
    }
  }
  return bytes;
}

// Both byte strings as hex rows of 16, the rows that differ marked, so a failing golden test
// shows where the layout went wrong.
std::string HexDiff(const std::string& expected, const std::string& actual) {
  std::ostringstream out;
  auto row = [](const std::string& b, std::size_t at) {
    char buf[4];
    std::string s;
    for (std::size_t i = at; i < at + 16 && i < b.size(); ++i) {
      std::snprintf(buf, sizeof buf, "%02X ", static_cast<unsigned char>(b[i]));
      s += buf;
    }
    return s;
  };
  out << "expected " << expected.size() << " bytes, got " << actual.size() << "\n";
  for (std::size_t at = 0; at < std::max(expected.size(), actual.size()); at += 16) {
    std::string e = row(expected, at), a = row(actual, at);
    char offset[24];
    std::snprintf(offset, sizeof offset, "%06zX", at);
    out << (e == a ? "  " : "! ") << offset << "  " << e << "\n";
    if (e != a) out << "          " << a << "   <- actual\n";
  }
  return out.str();
}

#define EXPECT_BYTES_EQ(expected, actual) \
  EXPECT_TRUE((expected) == (actual)) << HexDiff((expected), (actual))

// The known document of the golden file: two 3/4-created bars, the second turned into 3/8.
std::unique_ptr<Osnova> KnownDocument() {
  auto doc = std::make_unique<Osnova>(3, 2, 4);
  doc->Tempo = 96;
  doc->Artist = "Ann";
  doc->Song = "";
  doc->Album = "";
  doc->Drummer = "D";
  doc->TabAuthor = "";
  doc->Email = "";
  doc->SongParts = {{0, "Intro"}, {1, "Verse"}};
  doc->Kit = {1, 1, 0, 1, 1, 1, 1, 1, 1};
  TBar& b0 = doc->EditBar(0);
  b0.Comment = "Hi";
  b0.Rows[RowCymbals].Set(0, 0, 1);  // accented crash
  b0.Rows[RowSnare].Set(4, 1, 0);    // rim click
  b0.Rows[RowBass].Set(13, 0, 0);    // beyond the bar's 12 positions: not saved
  TBar& b1 = doc->EditBar(1);
  b1.Length = 6;
  b1.Denominator = 8;
  b1.Rows[RowTom1].Set(5, 0, 0);
  return doc;
}

// The expected file of KnownDocument, one labelled field per entry. Labels starting with '@'
// are markers.
struct Segment {
  std::string field;
  std::string hex;
};

std::vector<Segment> KnownSegments() {
  std::string pad;  // 25 name bytes past "Intro"/"Verse" and the padding byte
  for (int i = 0; i < 26; ++i) pad += "00 ";
  return {
      {"magic", "78 78 24 23 47 56 4C 4D"}, {"@magic", "40 23"},
      {"BarCount", "02 00"},                {"@BarCount", "40 23"},
      {"Numerator", "03"},                  {"@Numerator", "40 23"},
      {"Tempo", "60 00"},                   {"@Tempo", "40 23"},
      {"Artist", "03 00 00 00 41 6E 6E"},   {"@Artist", "40 23"},
      {"Song", "FF FF FF FF"},              {"@Song", "40 23"},
      {"Album", "FF FF FF FF"},             {"@Album", "40 23"},
      {"Drummer", "01 00 00 00 44"},        {"@Drummer", "40 23"},
      {"TabAuthor", "FF FF FF FF"},         {"@TabAuthor", "40 23"},
      {"Email", "FF FF FF FF"},             {"@Email", "40 23"},
      {"PartCount", "02 00 00 00"},
      {"Part0.StartBar", "00 00 00 00"},    {"Part0.Name", "05 49 6E 74 72 6F " + pad},
      {"Part1.StartBar", "01 00 00 00"},    {"Part1.Name", "05 56 65 72 73 65 " + pad},
      {"@Parts", "40 23"},
      {"Kit", "01 01 00 01 01 01 01 01 01"}, {"@Kit", "40 40"},
      {"Bar0.Length", "0C"}, {"Bar0.Denominator", "04"}, {"Bar0.Comment", "02 00 00 00 48 69"},
      {"@Bar0.Row1", "40 23"}, {"Bar0.Row1", "01 01 00 58"},
      {"@Bar0.Row2", "40 23"}, {"Bar0.Row2", "02 00"},
      {"@Bar0.Row3", "40 23"}, {"Bar0.Row3", "03 00"},
      {"@Bar0.Row4", "40 23"}, {"Bar0.Row4", "04 00"},
      {"@Bar0.Row5", "40 23"}, {"Bar0.Row5", "05 00"},
      {"@Bar0.Row6", "40 23"}, {"Bar0.Row6", "06 00"},
      {"@Bar0.Row7", "40 23"}, {"Bar0.Row7", "07 01 04 78"},
      {"@Bar0.Row8", "40 23"}, {"Bar0.Row8", "08 00"},
      {"@Bar0.End", "40 40 23 23"},
      {"Bar1.Length", "06"}, {"Bar1.Denominator", "08"}, {"Bar1.Comment", "FF FF FF FF"},
      {"@Bar1.Row1", "40 23"}, {"Bar1.Row1", "01 00"},
      {"@Bar1.Row2", "40 23"}, {"Bar1.Row2", "02 00"},
      {"@Bar1.Row3", "40 23"}, {"Bar1.Row3", "03 00"},
      {"@Bar1.Row4", "40 23"}, {"Bar1.Row4", "04 01 05 6F"},
      {"@Bar1.Row5", "40 23"}, {"Bar1.Row5", "05 00"},
      {"@Bar1.Row6", "40 23"}, {"Bar1.Row6", "06 00"},
      {"@Bar1.Row7", "40 23"}, {"Bar1.Row7", "07 00"},
      {"@Bar1.Row8", "40 23"}, {"Bar1.Row8", "08 00"},
      {"@Bar1.End", "40 40 23 23"},
  };
}

std::string Join(const std::vector<Segment>& segments) {
  std::string bytes;
  for (const auto& s : segments) bytes += FromHex(s.hex);
  return bytes;
}

// The known file with one field's bytes replaced.
std::string KnownWith(const std::string& field, const std::string& hex) {
  auto segments = KnownSegments();
  bool found = false;
  for (auto& s : segments)
    if (s.field == field) {
      s.hex = hex;
      found = true;
    }
  EXPECT_TRUE(found) << field;
  return Join(segments);
}

std::string KnownWithoutParts(const std::string& countHex) {
  auto segments = KnownSegments();
  std::erase_if(segments, [](const Segment& s) { return s.field.rfind("Part", 0) == 0 && s.field != "PartCount"; });
  for (auto& s : segments)
    if (s.field == "PartCount") s.hex = countHex;
  return Join(segments);
}

// A stored text of n letters 'a'.
std::string TextHex(int n) {
  char length[16];
  std::snprintf(length, sizeof length, "%02X 00 00 00 ", n);
  std::string hex = length;
  for (int i = 0; i < n; ++i) hex += "61 ";
  return hex;
}

// Thirty name bytes and the padding byte of a song-part record.
const std::string kName30 =
    "41 42 43 44 45 46 47 48 49 4A 41 42 43 44 45 46 47 48 49 4A 41 42 43 44 45 46 47 48 49 4A 00";

uint64_t Mask(int length) { return length >= 64 ? ~uint64_t{0} : (uint64_t{1} << length) - 1; }

}  // namespace

TEST(TabFileWriter, BarBlockOfTheFormatExample) {
  Osnova doc(4, 1, 4);
  doc.EditBar(0).Rows[RowHiHat].Set(0, 0, 0);
  doc.EditBar(0).Rows[RowHiHat].Set(2, 0, 0);
  doc.EditBar(0).Rows[RowBass].Set(0, 0, 1);
  const std::string expected = FromHex(
      "10 04 FF FF FF FF 40 23 01 00 40 23 02 00 40 23 03 02 00 78 02 78"
      "40 23 04 00 40 23 05 00 40 23 06 00 40 23 07 00"
      "40 23 08 01 00 4F 40 40 23 23");
  ASSERT_EQ(expected.size(), 48u);
  const std::string bytes = WriteTabBytes(doc);
  ASSERT_GE(bytes.size(), 48u);
  EXPECT_BYTES_EQ(expected, bytes.substr(bytes.size() - 48));
}

TEST(TabFileWriter, KnownDocumentByteForByte) {
  EXPECT_BYTES_EQ(Join(KnownSegments()), WriteTabBytes(*KnownDocument()));
}

TEST(TabFileWriter, FullBarRowAndAllLetters) {
  Osnova doc(16, 1, 4);
  for (int p = 0; p < 64; ++p) doc.EditBar(0).Rows[RowRide].Set(p, 0, p % 2);
  doc.EditBar(0).Rows[RowCymbals].Set(1, 1, 0);  // splash
  doc.EditBar(0).Rows[RowCymbals].Set(2, 2, 1);  // china, accented
  doc.EditBar(0).Rows[RowHiHat].Set(3, 1, 1);    // open, accented
  const std::string bytes = WriteTabBytes(doc);
  const std::string bar = bytes.substr(bytes.size() - (42 + 2 * 67));
  EXPECT_EQ(bar.substr(0, 2), FromHex("40 04"));
  EXPECT_EQ(bar.substr(6, 8), FromHex("40 23 01 02 01 73 02 43"));
  EXPECT_EQ(bar.substr(14, 4), FromHex("40 23 02 40"));
  EXPECT_EQ(bar.substr(18, 4), FromHex("00 78 01 58"));
  EXPECT_EQ(bar.substr(18 + 128, 6), FromHex("40 23 03 01 03 4F"));
}

TEST(TabFileWriter, NeverWritesAFileItsReaderRefuses) {
  auto doc = KnownDocument();
  doc->Artist = std::string(70, 'a');
  doc->SongParts = {{1, std::string(40, 'n')}, {1, "twice"}, {0, "backwards"}, {5, "past end"}};
  doc->EditBar(1).Comment = std::string(70000, 'c');
  doc->Tempo = 2000;
  doc->Numerator = 0;
  auto back = ReadTabBytes(WriteTabBytes(*doc));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Tempo, 1024);
  EXPECT_EQ(back->Numerator, 1);
  EXPECT_EQ(back->Artist, std::string(50, 'a'));
  ASSERT_EQ(back->SongParts.size(), 1u);
  EXPECT_EQ(back->SongParts[0].StartBar, 1);
  EXPECT_EQ(back->SongParts[0].Name, std::string(30, 'n'));
  EXPECT_EQ(back->Bar(1).Comment.size(), 65535u);
}

TEST(TabFileReader, RoundTripsEveryField) {
  auto doc = KnownDocument();
  doc->Numerator = 16;
  doc->Tempo = 1024;
  doc->Song = std::string(50, 's');
  doc->Album = "Alb\xe9";  // Windows-1252 bytes pass through
  doc->TabAuthor = "T";
  doc->Email = "e@x.org";
  doc->Kit = {1, 0, 1, 0, 1, 0, 1, 0, 1};
  doc->EditBar(0).Length = 64;
  doc->EditBar(0).Denominator = 16;
  for (int row = RowCymbals; row <= RowBass; ++row)
    for (int p = row; p < 64; p += 9) doc->EditBar(0).Rows[row].Set(p, row == RowCymbals ? p % 3 : 0, p % 2);
  doc->EditBar(0).Rows[RowSnare].Set(63, 1, 1);
  doc->EditBar(1).Comment = std::string("multi\r\nline");

  const std::string bytes = WriteTabBytes(*doc);
  auto back = ReadTabBytes(bytes);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Numerator, 16);
  EXPECT_EQ(back->Tempo, 1024);
  EXPECT_EQ(back->BarCount, 2);
  ASSERT_EQ(back->Bars.size(), 2u);
  for (auto field : {&Osnova::Artist, &Osnova::Song, &Osnova::Album, &Osnova::Drummer,
                     &Osnova::TabAuthor, &Osnova::Email})
    EXPECT_EQ(*back.*field, *doc.*field);
  EXPECT_EQ(back->SongParts, doc->SongParts);
  EXPECT_EQ(back->Kit, doc->Kit);
  EXPECT_EQ(back->LineOfRow[RowRide], 1);
  EXPECT_EQ(back->LineOfRow[RowBass], 4);
  for (int b = 0; b < 2; ++b) {
    const TBar& want = doc->Bar(b);
    const TBar& got = back->Bar(b);
    EXPECT_EQ(got.Length, want.Length);
    EXPECT_EQ(got.Denominator, want.Denominator);
    EXPECT_EQ(got.Comment, want.Comment);
    for (int row = RowCymbals; row <= RowBass; ++row) {
      EXPECT_EQ(got.Rows[row].Notes, want.Rows[row].Notes & Mask(want.Length)) << b << "/" << row;
      for (int p = 0; p < want.Length; ++p)
        if (want.Rows[row].Has(p)) {
          EXPECT_EQ(got.Rows[row].Cells[p], want.Rows[row].Cells[p]) << b << "/" << row << "/" << p;
        }
    }
  }
  EXPECT_FALSE(back->Bar(0).Rows[RowCount].Notes);
  EXPECT_EQ(WriteTabBytes(*back), bytes);
  EXPECT_EQ(back->FileName, "Unnamed");
  EXPECT_FALSE(back->HasFile);
}

TEST(TabFileReader, NotesBeyondTheLengthAreLostBySaving) {
  auto back = ReadTabBytes(WriteTabBytes(*KnownDocument()));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Bar(0).Rows[RowBass].Notes, 0u);
  EXPECT_EQ(back->Bar(0).Rows[RowBass].Cells[13].Variant, 255);
}

TEST(TabFileReader, LettersBecomeCellsAsTheRowsTableSays) {
  struct Case {
    int row;
    char letter;
    TNoteCell cell;
  } cases[] = {
      {RowCymbals, 'x', {0, 0}}, {RowCymbals, 'S', {1, 1}}, {RowCymbals, 'c', {2, 0}},
      {RowCymbals, 'o', {100, 0}}, {RowRide, 'X', {0, 1}}, {RowRide, 'o', {100, 0}},
      {RowHiHat, 'x', {0, 0}}, {RowHiHat, 'O', {1, 1}}, {RowTom1, 'o', {0, 0}},
      {RowTom2, 'O', {0, 1}}, {RowFloor, 'x', {100, 0}}, {RowBass, 'O', {0, 1}},
      {RowSnare, 'o', {0, 0}}, {RowSnare, 'X', {1, 1}}, {RowSnare, 's', {100, 0}},
      {RowSnare, 'S', {100, 0}}, {RowSnare, '?', {100, 0}}, {RowSnare, '\xd8', {100, 0}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(LetterToCell(c.row, static_cast<uint8_t>(c.letter)), c.cell) << c.row << " " << c.letter;

  // Variants that share a letter come back as the table's one.
  Osnova doc(4, 1, 4);
  doc.EditBar(0).Rows[RowHiHat].Set(0, 2, 0);
  doc.EditBar(0).Rows[RowRide].Set(1, 3, 1);
  auto back = ReadTabBytes(WriteTabBytes(doc));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Bar(0).Rows[RowHiHat].Cells[0], (TNoteCell{1, 0}));
  EXPECT_EQ(back->Bar(0).Rows[RowRide].Cells[1], (TNoteCell{0, 1}));
}

TEST(TabFileReader, AcceptsWhatTheFormatAllows) {
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"stored 0 for an empty text", KnownWith("Song", "00 00 00 00")},
      {"stored 0 for no parts", KnownWithoutParts("00 00 00 00")},
      {"-1 for no parts", KnownWithoutParts("FF FF FF FF")},
      {"comment length 0", KnownWith("Bar0.Comment", "00 00 00 00")},
      {"negative comment length", KnownWith("Bar0.Comment", "FB FF FF FF")},
      {"wrong row byte", KnownWith("Bar0.Row7", "03 01 04 78")},
      {"bytes after the last bar", Join(KnownSegments()) + "trailing"},
      {"numerator 16", KnownWith("Numerator", "10")},
      {"numerator 1", KnownWith("Numerator", "01")},
      {"tempo 1", KnownWith("Tempo", "01 00")},
      {"tempo 1024", KnownWith("Tempo", "00 04")},
      {"length 64", KnownWith("Bar0.Length", "40")},
      {"length 1", KnownWith("Bar1.Length", "01")},
      {"denominator 16", KnownWith("Bar0.Denominator", "10")},
      {"name length 30", KnownWith("Part0.Name", "1E " + kName30)},
      {"text of 50", KnownWith("Artist", TextHex(50))},
      {"kit byte 2", KnownWith("Kit", "01 02 00 01 01 01 01 01 01")},
  };
  for (const auto& c : cases) EXPECT_NE(ReadTabBytes(c.bytes), nullptr) << c.what;

  EXPECT_EQ(ReadTabBytes(KnownWith("Song", "00 00 00 00"))->Song, "");
  EXPECT_TRUE(ReadTabBytes(KnownWithoutParts("00 00 00 00"))->SongParts.empty());
  EXPECT_EQ(ReadTabBytes(KnownWith("Bar0.Comment", "FB FF FF FF"))->Bar(0).Comment, "");
  EXPECT_EQ(ReadTabBytes(KnownWith("Artist", TextHex(50)))->Artist, std::string(50, 'a'));
  auto wrongRow = ReadTabBytes(KnownWith("Bar0.Row7", "03 01 04 78"));
  EXPECT_TRUE(wrongRow->Bar(0).Rows[RowSnare].Has(4));
  EXPECT_FALSE(wrongRow->Bar(0).Rows[RowHiHat].Has(4));
  EXPECT_EQ(ReadTabBytes(KnownWith("Kit", "01 02 00 01 01 01 01 01 01"))->Kit[RowCymbals], 1);
  EXPECT_EQ(ReadTabBytes(KnownWith("Part0.Name", "1E " + kName30))->SongParts[0].Name,
            "ABCDEFGHIJABCDEFGHIJABCDEFGHIJ");
}

TEST(TabFileReader, IgnoresPositionsPastTheGridAndHidingTheCountingLine) {
  auto doc = ReadTabBytes(KnownWith("Bar1.Row4", "04 03 05 6F 40 4F FF 78"));
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->Bar(1).Rows[RowTom1].Notes, uint64_t{1} << 5);

  auto noCount = ReadTabBytes(KnownWith("Kit", "00 01 00 01 01 01 01 01 01"));
  ASSERT_NE(noCount, nullptr);
  EXPECT_EQ(noCount->Kit[RowCount], 1);
  EXPECT_EQ(noCount->LineOfRow[RowCymbals], 1);
}

TEST(TabFileReader, RefusesEveryTruncation) {
  const std::string bytes = Join(KnownSegments());
  ASSERT_NE(ReadTabBytes(bytes), nullptr);
  for (std::size_t n = 0; n < bytes.size(); ++n)
    EXPECT_EQ(ReadTabBytes(bytes.substr(0, n)), nullptr) << "cut at " << n;
}

TEST(TabFileReader, RefusesEachDamagedMarker) {
  int markers = 0;
  for (const auto& segment : KnownSegments()) {
    if (segment.field[0] != '@' && segment.field != "magic") continue;
    const std::size_t size = FromHex(segment.hex).size();
    for (std::size_t i = 0; i < size; ++i) {
      std::string hex = segment.hex;
      // Lower case changes the byte ('@' 40 -> 60, '#' 23 -> 03, 'x' 78 -> 58 and so on).
      hex[i * 3] = static_cast<char>(hex[i * 3] == '4' ? '6' : hex[i * 3] == '2' ? '0' : hex[i * 3] == '7' ? '5' : '1');
      EXPECT_EQ(ReadTabBytes(KnownWith(segment.field, hex)), nullptr) << segment.field << " byte " << i;
    }
    ++markers;
  }
  EXPECT_EQ(markers, 1 + 11 + 1 + 2 * 9);
}

TEST(TabFileReader, RefusesOutOfLimitValues) {
  struct Case {
    const char* field;
    std::string hex;
  } cases[] = {
      {"BarCount", "00 00"},
      {"Numerator", "00"},
      {"Numerator", "11"},
      {"Tempo", "00 00"},
      {"Tempo", "01 04"},
      {"Artist", TextHex(51)},
      {"Email", "FE FF FF FF"},
      {"Drummer", "00 00 00 80"},
      {"PartCount", "FE FF FF FF"},
      {"PartCount", "00 00 01 00"},
      {"Part0.StartBar", "FF FF FF FF"},
      {"Part1.StartBar", "02 00 00 00"},
      {"Part0.StartBar", "01 00 00 00"},  // two parts on one bar
      {"Part1.StartBar", "00 00 00 00"},
      {"Part0.Name", "1F " + kName30},
      {"Part1.Name", "FF " + kName30},
      {"Bar0.Length", "00"},
      {"Bar1.Length", "41"},
      {"Bar1.Length", "FF"},
      {"Bar0.Denominator", "00"},
      {"Bar0.Denominator", "02"},
      {"Bar1.Denominator", "20"},
      {"Bar0.Comment", "00 00 01 00"},
      {"Bar1.Row3", "03 01 00"},  // a note entry cut short by the marker that follows
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReadTabBytes(KnownWith(c.field, c.hex)), nullptr) << c.field << " = " << c.hex;
  // A bar count above what follows is a file ending early.
  EXPECT_EQ(ReadTabBytes(KnownWith("BarCount", "03 00")), nullptr);
  EXPECT_EQ(ReadTabBytes(KnownWith("BarCount", "FF FF")), nullptr);
}

class TabFileOnDisk : public ::testing::Test {
 protected:
  void TearDown() override { TestWriteFaults().FailAfterBytes = -1; }
  std::string Read(const fs::path& p) {
    std::string bytes, error;
    EXPECT_TRUE(ReadWholeFile(p.string(), bytes, error)) << error;
    return bytes;
  }
  TestFolder dir;
};

TEST_F(TabFileOnDisk, SaveThenLoadSetsTheFileStateAndTheProgramKit) {
  auto doc = KnownDocument();
  doc->Modified = true;
  const std::string path = (dir / "song.gvlm").string();
  std::string error;
  ASSERT_TRUE(SaveToTabFile(*doc, path, error)) << error;
  EXPECT_FALSE(doc->Modified);
  EXPECT_TRUE(doc->HasFile);
  EXPECT_EQ(doc->FileName, path);
  EXPECT_EQ(Read(path), WriteTabBytes(*doc));

  auto back = LoadFromTabFile(path, error);
  ASSERT_NE(back, nullptr) << error;
  EXPECT_EQ(back->Kit, doc->Kit);
  EXPECT_FALSE(back->Modified);
  EXPECT_TRUE(back->HasFile);
  EXPECT_EQ(back->FileName, path);
  EXPECT_EQ(back->LineOfRow[RowHiHat], 2);  // ride hidden
}

TEST_F(TabFileOnDisk, RefusedLoadChangesNothingGlobal) {
  const std::string damaged = (dir / "damaged.gvlm").string();
  std::string error, bytes = Join(KnownSegments());
  bytes.resize(bytes.size() - 1);
  ASSERT_TRUE(WriteFileAtomically(damaged, bytes, error));
  const std::string notTab = (dir / "notes.txt").string();
  ASSERT_TRUE(WriteFileAtomically(notTab, "hello", error));

  for (const std::string& path : {damaged, notTab, (dir / "missing.gvlm").string(), dir.string()}) {
    error.clear();
    EXPECT_EQ(LoadFromTabFile(path, error), nullptr) << path;
    EXPECT_EQ(error, kDamagedTabFileMessage) << path;
  }
}

TEST_F(TabFileOnDisk, FailedSaveKeepsTheOldFileAndTheDocumentState) {
  const std::string path = (dir / "song.gvlm").string();
  std::string error;
  Osnova old(4, 1, 4);
  ASSERT_TRUE(SaveToTabFile(old, path, error));
  const std::string oldBytes = Read(path);

  auto doc = KnownDocument();
  doc->Modified = true;
  TestWriteFaults().FailAfterBytes = 20;  // the disk fills up part-way
  EXPECT_FALSE(SaveToTabFile(*doc, path, error));
  EXPECT_FALSE(error.empty());
  TestWriteFaults().FailAfterBytes = -1;
  EXPECT_FALSE(SaveToTabFile(*doc, (dir / "no" / "such.gvlm").string(), error));
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_FALSE(SaveToTabFile(*doc, path + "/below.gvlm", error));
  EXPECT_EQ(error, "Not a directory");

  EXPECT_EQ(Read(path), oldBytes);
  EXPECT_TRUE(doc->Modified);
  EXPECT_FALSE(doc->HasFile);
  EXPECT_EQ(doc->FileName, "Unnamed");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);
}
