#include <gtest/gtest.h>

#include <algorithm>

#include <random>
#include <set>
#include <string>
#include <tuple>

#include "midi/midi_container.h"
#include "midi/midi_out_file.h"
#include "midi/midi_to_tab.h"
#include "midi/tab_to_midi.h"
#include "tests/random_song.h"

namespace {

// Builds Standard MIDI Files byte by byte.
std::string Big(uint32_t v, int size) {
  std::string out;
  for (int i = size - 1; i >= 0; --i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
  return out;
}
std::string Header(int format, int tracks, int division) {
  return "MThd" + Big(6, 4) + Big(static_cast<uint32_t>(format), 2) +
         Big(static_cast<uint32_t>(tracks), 2) + Big(static_cast<uint32_t>(division), 2);
}
std::string Track(const std::string& events) {
  const std::string body = events + std::string("\x00\xFF\x2F\x00", 4);
  return "MTrk" + Big(static_cast<uint32_t>(body.size()), 4) + body;
}
std::string ByteString(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out += static_cast<char>(b);
  return out;
}

// (absolute sixteenth, row, variant, accent) of every note within its bar.
using Note = std::tuple<int, int, int, int>;
std::set<Note> NotesOf(const Osnova& doc, bool withAccents) {
  std::set<Note> notes;
  int start = 0;
  for (const auto& bar : doc.Bars) {
    for (int r = RowCymbals; r <= RowBass; ++r)
      for (int p = 0; p < bar->Length; ++p)
        if (bar->Rows[static_cast<std::size_t>(r)].Has(p)) {
          const TNoteCell& cell = bar->Rows[static_cast<std::size_t>(r)].Cells[static_cast<std::size_t>(p)];
          notes.emplace(start + p, r, cell.Variant, withAccents ? cell.Accent : 0);
        }
    start += bar->Length;
  }
  return notes;
}

std::string OwnExport(const Osnova& doc) {
  TMIDI_Container container;
  Convert_Tab(container, doc.Bars, doc.Tempo);
  TMIDI_Out_File writer;
  std::string error;
  EXPECT_TRUE(writer.Write_File(container, error)) << error;
  return writer.Bytes();
}

TEST(MidiImport, OwnExportRoundTrip) {
  for (unsigned seed = 1; seed <= 30; ++seed) {
    std::mt19937 rng(seed);
    auto doc = random_song::Make(rng, 30, false);
    ImportResult result = ImportMidiFile(OwnExport(*doc));
    const bool empty = NotesOf(*doc, false).empty();
    if (empty) {
      EXPECT_FALSE(result.Document) << seed;
      continue;
    }
    ASSERT_TRUE(result.Document) << seed << ": " << result.Error;
    EXPECT_TRUE(result.Warnings.empty()) << seed;
    // The export writes the accents' velocities and each bar's time signature: the notes come back
    // on the same sixteenths with their accents, in bars of the same lengths.
    EXPECT_EQ(NotesOf(*result.Document, true), NotesOf(*doc, true)) << seed;
    EXPECT_EQ(result.Document->Tempo, doc->Tempo) << seed;
    EXPECT_TRUE(result.Document->Modified);
  }
}

// Format 0, 96 ticks a quarter, running status, note-offs both ways, a sysex and a text event,
// notes off the grid.
TEST(MidiImport, ReadsFormatZeroWithRunningStatusAndQuantises) {
  const std::string events =
      ByteString({0x00, 0xF0, 0x03, 0x7E, 0x09, 0xF7}) +             // sysex, skipped
      ByteString({0x00, 0xFF, 0x01, 0x04, 'g', 'r', 'o', 'v'}) +     // text, skipped
      ByteString({0x00, 0x99, 36, 120}) +                            // bass, accented, tick 0
      ByteString({0x00, 42, 109}) +                                  // hi-hat, running status
      ByteString({0x17, 42, 0}) +                                    // note-off by velocity 0
      ByteString({0x00, 38, 64}) +                                   // snare at tick 23: sixteenth 1
      ByteString({0x0B, 0x89, 38, 0}) +                              // note-off, tick 34
      ByteString({0x0E, 0x99, 46, 110}) +                            // open hi-hat at 48: sixteenth 2
      ByteString({0x24, 37, 100}) +                                  // rim at 84: 3.5 rounds to 4
      ByteString({0x81, 0x48, 0xC9, 0x05}) +                         // program change at 284
      ByteString({0x00, 0x99, 49, 90});                              // crash at 284: 11.83 -> 12
  ImportResult result = ImportMidiFile(Header(0, 1, 96) + Track(events));
  ASSERT_TRUE(result.Document) << result.Error;
  EXPECT_TRUE(result.Warnings.empty());
  const std::set<Note> expected = {{0, RowBass, 0, 1},  {0, RowHiHat, 0, 0}, {1, RowSnare, 0, 0},
                                   {2, RowHiHat, 1, 1}, {4, RowSnare, 1, 0}, {12, RowCymbals, 0, 0}};
  EXPECT_EQ(NotesOf(*result.Document, true), expected);
  EXPECT_EQ(result.Document->BarCount, 1);
  EXPECT_EQ(result.Document->Tempo, 120);  // no tempo event
}

// Format 1: time signatures make the bars, the first tempo counts, keys outside the map go to
// their nearest row or into one warning.
TEST(MidiImport, ReadsFormatOneWithMetersTempoAndKeyMap) {
  const std::string conductor =
      ByteString({0x00, 0xFF, 0x58, 0x04, 3, 2, 24, 8}) +            // 3/4 at 0
      ByteString({0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}) +       // 1000000 us: 60 bpm
      ByteString({0x08, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}) +       // later tempo, ignored
      ByteString({0x10, 0xFF, 0x58, 0x04, 6, 3, 24, 8}) +            // 6/8 at tick 24, after one bar
      ByteString({0x18, 0xFF, 0x58, 0x04, 17, 2, 24, 8});            // 17/4 after one 6/8 bar
  // 8 ticks a quarter: 2 ticks a sixteenth.
  const std::string drums =
      ByteString({0x00, 0x99, 35, 100}) + ByteString({0x00, 57, 100}) + ByteString({0x02, 44, 100}) +
      ByteString({0x02, 51, 100}) + ByteString({0x02, 41, 100}) + ByteString({0x02, 50, 100}) +
      ByteString({0x02, 45, 100}) + ByteString({0x02, 40, 100}) + ByteString({0x02, 53, 100}) +
      ByteString({0x02, 39, 100}) + ByteString({0x00, 39, 100}) + ByteString({0x00, 56, 100}) +
      ByteString({0x0A, 36, 100}) +                // sixteenth 13: the 6/8 bar
      ByteString({0x81, 0x18, 36, 100}) +          // sixteenth 89: the second bar of 17/4
      ByteString({0x00, 0x94, 36, 100});           // channel 5: not a drum note
  ImportResult result = ImportMidiFile(Header(1, 2, 8) + Track(conductor) + Track(drums));
  ASSERT_TRUE(result.Document) << result.Error;
  const Osnova& doc = *result.Document;
  EXPECT_EQ(doc.Tempo, 60);
  ASSERT_EQ(doc.BarCount, 4);
  EXPECT_EQ(doc.Bar(0).Length, 12);
  EXPECT_EQ(doc.Bar(0).Denominator, 4);
  EXPECT_EQ(doc.Bar(1).Length, 12);
  EXPECT_EQ(doc.Bar(1).Denominator, 8);
  EXPECT_EQ(doc.Bar(2).Length, 64);  // 68 sixteenths of 17/4 need two bars
  EXPECT_EQ(doc.Bar(3).Length, 4);
  // The pedal hi-hat (44) goes to the hi-hat foot line, the ride bell (53) is a bell on the ride.
  EXPECT_EQ(doc.Bar(0).FootNotes, uint64_t{1} << 1);
  EXPECT_EQ(doc.Bar(0).Rows[RowRide].Cells[7].Style, static_cast<uint8_t>(NoteStyle::Bell));
  const std::set<Note> expected = {{0, RowBass, 0, 0},  {0, RowCymbals, 0, 0},
                                   {2, RowRide, 0, 0},  {3, RowFloor, 0, 0},   {4, RowTom1, 0, 0},
                                   {5, RowTom2, 0, 0},  {6, RowSnare, 0, 0},   {7, RowRide, 0, 0},
                                   {13, RowBass, 0, 0}, {24 + 64 + 1, RowBass, 0, 0}};
  EXPECT_EQ(NotesOf(doc, false), expected);
  ASSERT_EQ(result.Warnings.size(), 2u);
  EXPECT_EQ(result.Warnings[0], "Bars longer than 64 sixteenths are split into bars of 64 sixteenths.");
  EXPECT_EQ(result.Warnings[1], "3 notes on drum keys without a row in the tab (keys 39 and 56) left out.");
}

// An electronic kit's edges and rims go to their rows; two notes of one row on one sixteenth keep
// the louder (its variant too) and are counted in one warning.
TEST(MidiImport, ReadsElectronicKitKeysAndKeepsTheLouderOfTwoNotes) {
  // 8 ticks a quarter: 2 ticks a sixteenth.
  const std::string drums =
      ByteString({0x00, 0x99, 22, 100}) +               // hi-hat edge, closed: sixteenth 0
      ByteString({0x02, 26, 100}) +                     // hi-hat edge, open: 1
      ByteString({0x02, 58, 100}) +                     // tom 3 rim: 2
      ByteString({0x02, 38, 40}) + ByteString({0x00, 38, 120}) +  // a flam: the louder, accented, stays
      ByteString({0x02, 42, 90}) + ByteString({0x00, 46, 60}) +   // closed then a softer open: closed
      ByteString({0x02, 36, 80}) + ByteString({0x00, 36, 80});    // as loud: the first
  ImportResult result = ImportMidiFile(Header(0, 1, 8) + Track(drums));
  ASSERT_TRUE(result.Document) << result.Error;
  const std::set<Note> expected = {{0, RowHiHat, 0, 0}, {1, RowHiHat, 1, 0}, {2, RowFloor, 0, 0},
                                   {3, RowSnare, 0, 1}, {4, RowHiHat, 0, 0}, {5, RowBass, 0, 0}};
  EXPECT_EQ(NotesOf(*result.Document, true), expected);
  ASSERT_EQ(result.Warnings.size(), 1u);
  EXPECT_EQ(result.Warnings[0],
            "3 notes fell on the same sixteenth as another note of its row (a flam or a fast roll); "
            "the louder of each is kept.");
}

TEST(MidiImport, PicksTheChannel) {
  const std::string file = Header(0, 1, 8) + Track(ByteString({0x00, 0x90, 38, 100, 0x00, 0x93, 36, 100}));
  std::vector<int> channels;
  ImportResult none = ImportMidiFile(file, 10, &channels);
  EXPECT_FALSE(none.Document);
  EXPECT_EQ(none.Error, "No drum notes found on MIDI channel 10. The file has notes on channels 1 and 4.");
  EXPECT_EQ(channels, (std::vector<int>{1, 4}));
  ImportResult first = ImportMidiFile(file, 1);
  ASSERT_TRUE(first.Document);
  EXPECT_EQ(NotesOf(*first.Document, false), (std::set<Note>{{0, RowSnare, 0, 0}}));
  EXPECT_EQ(ImportMidiFile(Header(1, 1, 8) + Track("")).Error, "No drum notes found on MIDI channel 10.");
  // Notes only on keys no row has are nothing to show either.
  EXPECT_EQ(ImportMidiFile(Header(0, 1, 8) + Track(ByteString({0x00, 0x99, 111, 100, 0x00, 39, 100}))).Error,
            "No drum notes found on MIDI channel 10: it has only 2 notes on drum keys without a row "
            "in the tab (keys 39 and 111).");
}

TEST(MidiImport, RefusesDamagedFiles) {
  std::mt19937 rng(3);
  auto doc = random_song::Make(rng, 3, false);
  doc->EditBar(0).Rows[RowBass].Set(0, 0, 0);
  const std::string exported = OwnExport(*doc);
  const std::string format0 =
      Header(0, 1, 96) + Track(ByteString({0x00, 0xF0, 0x02, 0x01, 0xF7, 0x00, 0x99, 36, 100, 0x83, 0x00, 38, 90}));
  for (const std::string& whole : {exported, format0}) {
    ASSERT_TRUE(ImportMidiFile(whole).Document);
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
      ImportResult result = ImportMidiFile(whole.substr(0, cut));
      EXPECT_FALSE(result.Document) << cut;
      EXPECT_FALSE(result.Error.empty()) << cut;
    }
  }
  auto error = [](const std::string& bytes) { return ImportMidiFile(bytes).Error; };
  const std::string note = ByteString({0x00, 0x99, 36, 100});
  EXPECT_EQ(error("RIFF...."), "This is not a MIDI file.");
  EXPECT_EQ(error(Header(2, 1, 8) + Track(note)),
            "Cannot read the MIDI file: files of independent patterns (format 2) are not supported.");
  EXPECT_EQ(error(Header(1, 1, 0xE728) + Track(note)),
            "Cannot read the MIDI file: files timed in SMPTE frames are not supported.");
  EXPECT_EQ(error(Header(0, 2, 8) + Track(note) + Track(note)),
            "Cannot read the MIDI file: a format 0 file must hold one track.");
  EXPECT_EQ(error(Header(0, 1, 8) + Track(ByteString({0x00, 36, 100}))),
            "Cannot read the MIDI file: a data byte stands where an event should begin.");
  EXPECT_EQ(error(Header(0, 1, 8) + Track(ByteString({0x00, 0x99, 0x80, 100}))),
            "Cannot read the MIDI file: an event's data byte is out of range.");
  EXPECT_EQ(error(Header(0, 1, 8) + Track(ByteString({0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x99, 36, 1}))),
            "Cannot read the MIDI file: a delta time is longer than four bytes.");
  // A track that stops without its end-of-track event is cut, even if its chunk says it ended.
  EXPECT_EQ(error(Header(0, 1, 8) + "MTrk" + Big(4, 4) + note),
            "Cannot read the MIDI file: a track ends early.");
  // Chunks of unknown kinds are skipped.
  EXPECT_TRUE(ImportMidiFile(Header(0, 1, 8) + "XFIH" + Big(2, 4) + "ab" + Track(note)).Document);
}

// A played file: 480 ticks a quarter at tempo 100 (a tick is 1.25 ms), every note moved by a
// human's few milliseconds (up to 3 ticks either way), drum notes on channel 10.
struct Hit {
  int Tick, Key;
};
std::string PlayedFile(std::vector<Hit> hits) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> jitter(-3, 3);
  for (Hit& hit : hits) hit.Tick = std::max(0, hit.Tick + jitter(rng));
  std::stable_sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.Tick < b.Tick; });
  auto varLen = [](uint32_t v) {
    std::string out(1, static_cast<char>(v & 0x7F));
    while (v >>= 7) out.insert(out.begin(), static_cast<char>(0x80 | (v & 0x7F)));
    return out;
  };
  std::string events = ByteString({0x00, 0xFF, 0x51, 0x03, 0x09, 0x27, 0xC0});  // 600000 us: 100 bpm
  int at = 0;
  for (const Hit& hit : hits) {
    events += varLen(static_cast<uint32_t>(hit.Tick - at)) + ByteString({0x99, hit.Key, 90});
    at = hit.Tick;
  }
  return Header(0, 1, 480) + Track(events);
}

std::string Cells(const TBar& bar, int row) {
  std::string text;
  for (int p = 0; p < bar.Length; ++p) text += bar.Rows[static_cast<std::size_t>(row)].Has(p) ? 'x' : '-';
  return text;
}

// A shuffle (every off-beat eighth at two thirds of its beat) is the song's swing, its bars plain
// sixteenths, swung sixteenths among them too; a fill of eighth triplets in it stays triplets.
TEST(MidiImport, AShuffleSwingsAndItsTripletFillStaysTriplets) {
  std::vector<Hit> hits;
  for (int bar = 0; bar < 5; ++bar)
    for (int beat = 0; beat < 4; ++beat) {
      const int t = (bar * 4 + beat) * 480;
      hits.push_back({t, 42});
      hits.push_back({t + 320, 42});
      if (bar >= 2) {  // the sixteenths between, swung alike: at 160 and 400 ticks of the beat
        hits.push_back({t + 160, 42});
        hits.push_back({t + 400, 42});
      }
      hits.push_back({t, beat % 2 ? 38 : 36});
    }
  for (int k = 0; k < 12; ++k) hits.push_back({5 * 1920 + k * 160, 38});
  hits.push_back({6 * 1920, 49});
  ImportResult result = ImportMidiFile(PlayedFile(hits));
  ASSERT_TRUE(result.Document) << result.Error;
  const Osnova& doc = *result.Document;
  EXPECT_EQ(doc.Swing.Unit, SwingUnit::Eighths);
  EXPECT_NEAR(doc.Swing.Percent, 33, 1);
  ASSERT_EQ(doc.BarCount, 7);
  for (int b = 0; b < 5; ++b) {
    EXPECT_EQ(doc.Bar(b).Grid, BarGrid::Sixteenths) << b;
    EXPECT_EQ(Cells(doc.Bar(b), RowHiHat), b < 2 ? "x-x-x-x-x-x-x-x-" : "xxxxxxxxxxxxxxxx") << b;
    EXPECT_EQ(Cells(doc.Bar(b), RowSnare), "----x-------x---") << b;
  }
  EXPECT_EQ(doc.Bar(5).Grid, BarGrid::EighthTriplets);
  EXPECT_EQ(doc.Bar(5).Denominator, 4);
  EXPECT_EQ(Cells(doc.Bar(5), RowSnare), std::string(12, 'x'));
  EXPECT_EQ(Cells(doc.Bar(6), RowCymbals), "x---------------");
  EXPECT_TRUE(result.Warnings.empty());
}

// A straight groove stays in sixteenths and unswung; a bar with a fill of 32nds (strokes as loud as
// each other, so no flams) and a bar of sixteenth triplets take those grids.
TEST(MidiImport, FillsOf32ndsAndTripletsTakeTheirGrids) {
  std::vector<Hit> hits;
  for (int e = 0; e < 8; ++e) hits.push_back({e * 240, 42});
  hits.push_back({0, 36});
  hits.push_back({840, 36});
  hits.push_back({480, 38});
  hits.push_back({1440, 38});
  hits.push_back({1920, 36});
  for (int k = 0; k < 16; ++k) hits.push_back({1920 + 960 + k * 60, 38});
  for (int k = 0; k < 24; ++k) hits.push_back({2 * 1920 + k * 80, 38});
  hits.push_back({3 * 1920, 36});
  ImportResult result = ImportMidiFile(PlayedFile(hits));
  ASSERT_TRUE(result.Document) << result.Error;
  const Osnova& doc = *result.Document;
  EXPECT_FALSE(doc.Swing.On());
  ASSERT_EQ(doc.BarCount, 4);
  const BarGrid grids[] = {BarGrid::Sixteenths, BarGrid::ThirtySeconds, BarGrid::SixteenthTriplets,
                           BarGrid::Sixteenths};
  for (int b = 0; b < 4; ++b) {
    EXPECT_EQ(doc.Bar(b).Grid, grids[b]) << b;
    EXPECT_EQ(doc.Bar(b).Denominator, 4) << b;
  }
  EXPECT_EQ(Cells(doc.Bar(0), RowHiHat), "x-x-x-x-x-x-x-x-");
  EXPECT_EQ(Cells(doc.Bar(0), RowBass), "x------x--------");
  EXPECT_EQ(Cells(doc.Bar(1), RowSnare), std::string(16, '-') + std::string(16, 'x'));
  EXPECT_EQ(Cells(doc.Bar(1), RowBass), "x" + std::string(31, '-'));
  EXPECT_EQ(Cells(doc.Bar(2), RowSnare), std::string(24, 'x'));
  EXPECT_EQ(Cells(doc.Bar(3), RowBass), "x---------------");
  EXPECT_TRUE(result.Warnings.empty());
}

}  // namespace
