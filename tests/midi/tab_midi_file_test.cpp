// The MIDI file written straight from the bars must be the file of the event-list export, byte for
// byte, on songs that stress the event order: short bars whose note-offs reach several bars on,
// full bars, variants without a key of their own, and long silences.
#include <gtest/gtest.h>

#include <random>

#include "midi/midi_container.h"
#include "midi/midi_out_file.h"
#include "midi/tab_midi_file.h"
#include "midi/tab_to_midi.h"

namespace {

std::string ViaEventList(const Osnova& doc, uint16_t tempo) {
  TMIDI_Container container;
  Convert_Tab(container, doc.Bars, tempo, doc.Swing);
  TMIDI_Out_File file;
  std::string error;
  EXPECT_TRUE(file.Write_File(container, error)) << error;
  return file.Bytes();
}

std::string FirstDifference(const std::string& a, const std::string& b) {
  std::size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size()) + ", first difference at " +
         std::to_string(i);
}

// With `feel`, bars in every grid and, most of the time, a swing.
std::unique_ptr<Osnova> RandomSong(unsigned seed, int bars, bool feel = false) {
  std::mt19937 random(seed);
  auto doc = std::make_unique<Osnova>(4, bars, 4);
  const uint8_t lengths[] = {1, 2, 3, 5, 8, 12, 16, 31, 64};
  for (int b = 0; b < bars; ++b) {
    TBar* bar = &doc->EditBar(b);
    bar->Length = lengths[random() % std::size(lengths)];
    if (feel) bar->Grid = static_cast<BarGrid>(random() % kGridCount);
    // Some bars silent, some full, most in between.
    const unsigned density = random() % 4 == 0 ? 0 : random() % 4 == 0 ? 100 : 30;
    for (int row = RowCymbals; row <= RowBass; ++row)
      for (int p = 0; p < kMaxPositions; ++p)  // notes past the length too: the export skips them
        if (random() % 100 < density)
          bar->Rows[row].Set(p, static_cast<uint8_t>(random() % 5 == 0 ? 100 : random() % 3), random() % 2);
  }
  if (feel && random() % 4 != 0)
    doc->Swing = {static_cast<uint8_t>(1 + random() % kMaxSwingPercent),
                  random() % 2 ? SwingUnit::Eighths : SwingUnit::Sixteenths};
  return doc;
}

}  // namespace

TEST(TabMidiFile, SameBytesAsTheEventListExport) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    auto doc = RandomSong(seed, 1 + static_cast<int>(seed * 7 % 60));
    const uint16_t tempo = static_cast<uint16_t>(seed * 31 % 1024);  // 0 and slow tempos included
    const std::string expected = ViaEventList(*doc, tempo);
    const std::string written = TabMidiFileBytes(doc->Bars, tempo);
    ASSERT_EQ(written, expected) << "seed " << seed << ": " << FirstDifference(written, expected);
  }
  // Other grids and swing: finer resolutions, times off the sixteenths.
  for (unsigned seed = 41; seed <= 80; ++seed) {
    auto doc = RandomSong(seed, 1 + static_cast<int>(seed * 7 % 60), true);
    const std::string expected = ViaEventList(*doc, 100);
    const std::string written = TabMidiFileBytes(doc->Bars, 100, doc->Swing);
    ASSERT_EQ(written, expected) << "seed " << seed << ": " << FirstDifference(written, expected);
  }
  // One empty bar, and long silences between notes (deltas of several bytes).
  Osnova sparse(16, 300, 4);
  sparse.EditBar(0).Rows[RowBass].Set(0, 0, 0);
  sparse.EditBar(299).Rows[RowSnare].Set(63, 1, 1);
  EXPECT_EQ(TabMidiFileBytes(sparse.Bars, 120), ViaEventList(sparse, 120));
  Osnova empty(4, 1, 4);
  EXPECT_EQ(TabMidiFileBytes(empty.Bars, 120), ViaEventList(empty, 120));
}
