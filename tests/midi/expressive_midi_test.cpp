#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "midi/midi_file_reader.h"
#include "midi/midi_to_tab.h"
#include "midi/tab_midi_file.h"
#include "tests/expressive_song.h"

namespace {

using expressive_song::Put;

// The export writes each note's velocity, a flam's grace stroke a tick (a 32nd) early at half the
// velocity, and a time signature where the timing changes; the import reads all of it back.
TEST(ExpressiveMidi, VelocitiesGraceStrokesAndTimeSignaturesGoOutAndComeBack) {
  Osnova song(4, 3, 4);
  song.EditBar(1).Reset(2, 4);
  TBar& a = song.EditBar(0);
  Put(a, RowSnare, 0, 0, 1, 0, NoteStyle::None);
  Put(a, RowSnare, 4, 0, 0, 1, NoteStyle::None);
  Put(a, RowSnare, 8, 0, 0, 0, NoteStyle::Flam);
  Put(a, RowBass, 0, 0, 0, 0, NoteStyle::None);
  Put(a, RowTom1, 12, 0, 0, 0, NoteStyle::Drag);
  Put(a, RowRide, 2, 0, 0, 0, NoteStyle::Bell);
  TBar& b = song.EditBar(1);
  Put(b, RowSnare, 4, 0, 1, 0, NoteStyle::Flam);
  Put(b, RowFloor, 0, 0, 0, 0, NoteStyle::Roll);
  b.FootNotes = uint64_t{1} << 2;
  song.EditBar(2).Rows[RowBass].Set(0, 0, 0);

  const std::string bytes = TabMidiFileBytes(song.Bars, 100);
  MidiFileContents file;
  std::string error;
  ASSERT_TRUE(ReadMidiFileBytes(bytes, file, error)) << error;
  std::vector<std::tuple<uint64_t, int, int>> signatures;
  for (const auto& s : file.TimeSignatures) signatures.push_back({s.Tick, s.Numerator, 1 << s.DenominatorPower});
  EXPECT_EQ(signatures, (std::vector<std::tuple<uint64_t, int, int>>{{0, 4, 4}, {32, 2, 4}, {48, 4, 4}}));
  std::vector<std::tuple<uint64_t, int, int>> notes;
  for (const auto& n : file.Notes) notes.push_back({n.Tick, n.Key, n.Velocity});
  const std::vector<std::tuple<uint64_t, int, int>> want = {
      {0, 38, 127}, {0, 36, 94},  {4, 53, 94},  {8, 38, 45},  {15, 38, 47}, {16, 38, 94},
      {22, 48, 47}, {23, 48, 47}, {24, 48, 94}, {32, 43, 94}, {33, 43, 70}, {36, 44, 94},
      {39, 38, 63}, {40, 38, 127}, {48, 36, 94}};
  EXPECT_EQ(notes, want);

  ImportResult back = ImportMidiFile(bytes);
  ASSERT_TRUE(back.Document) << back.Error;
  EXPECT_EQ(expressive_song::Describe(*back.Document), expressive_song::Describe(song));
  EXPECT_EQ(back.Document->Tempo, 100);
}

}  // namespace
