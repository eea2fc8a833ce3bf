// The tab-to-MIDI export: what the container holds after Convert_Tab, and the written file read
// back by a small independent Standard MIDI File reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "midi/midi_container.h"
#include "midi/midi_out_file.h"
#include "midi/tab_midi_file.h"
#include "midi/tab_to_midi.h"
#include "model/tab_document.h"

namespace {

// --- A reader that knows nothing of the writer: chunks, running deltas, running status.
struct ReadEvent {
  uint32_t time;
  uint8_t status;          // 0xFF for meta events
  uint8_t type = 0;        // meta type
  std::vector<uint8_t> data;
};
struct ReadFile {
  uint16_t format = 0, tracks = 0, division = 0;
  std::vector<std::vector<ReadEvent>> track;
};

std::optional<ReadFile> ParseMidi(const std::string& s, std::string& why) {
  size_t at = 0;
  auto need = [&](size_t n) { return at + n <= s.size(); };
  auto u8 = [&]() { return static_cast<uint8_t>(s[at++]); };
  auto be = [&](int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | u8();
    return v;
  };
  auto vlq = [&](size_t end, uint32_t& v) {
    v = 0;
    for (int i = 0; i < 4; ++i) {
      if (at >= end) return false;
      uint8_t b = u8();
      v = (v << 7) | (b & 0x7F);
      if (!(b & 0x80)) return true;
    }
    return false;
  };
  ReadFile f;
  if (!need(14) || s.compare(0, 4, "MThd") != 0) return why = "no header", std::nullopt;
  at = 4;
  if (be(4) != 6) return why = "header length", std::nullopt;
  f.format = static_cast<uint16_t>(be(2));
  f.tracks = static_cast<uint16_t>(be(2));
  f.division = static_cast<uint16_t>(be(2));
  while (at < s.size()) {
    if (!need(8) || s.compare(at, 4, "MTrk") != 0) return why = "track chunk", std::nullopt;
    at += 4;
    uint32_t length = be(4);
    if (!need(length)) return why = "track length beyond file", std::nullopt;
    size_t end = at + length;
    std::vector<ReadEvent> events;
    uint32_t time = 0;
    uint8_t running = 0;
    bool ended = false;
    while (at < end) {
      if (ended) return why = "data after end of track", std::nullopt;
      uint32_t delta;
      if (!vlq(end, delta) || at >= end) return why = "delta", std::nullopt;
      time += delta;
      ReadEvent e{time, 0, 0, {}};
      uint8_t b = u8();
      if (b == 0xFF) {
        e.status = 0xFF;
        if (at >= end) return why = "meta type", std::nullopt;
        e.type = u8();
        uint32_t n;
        if (!vlq(end, n) || at + n > end) return why = "meta length", std::nullopt;
        e.data.assign(s.begin() + static_cast<long>(at), s.begin() + static_cast<long>(at + n));
        at += n;
        ended = e.type == 0x2F;
      } else {
        if (b & 0x80) {
          running = b;
        } else {
          if (!running) return why = "data byte without status", std::nullopt;
          --at;
        }
        e.status = running;
        int n = (running & 0xF0) == 0xC0 || (running & 0xF0) == 0xD0 ? 1 : 2;
        if (at + static_cast<size_t>(n) > end) return why = "channel data", std::nullopt;
        for (int i = 0; i < n; ++i) e.data.push_back(u8());
      }
      events.push_back(e);
    }
    if (!ended) return why = "no end of track", std::nullopt;
    f.track.push_back(std::move(events));
  }
  if (f.track.size() != f.tracks) return why = "track count", std::nullopt;
  return f;
}

std::string Written(const TMIDI_Container& c) {
  TMIDI_Out_File file;
  std::string error;
  EXPECT_TRUE(file.Write_File(c, error)) << error;
  return file.Bytes();
}

struct Sounded {
  uint32_t on, off;
  uint8_t key;
  bool operator<(const Sounded& o) const {
    return std::tie(on, key, off) < std::tie(o.on, o.key, o.off);
  }
  bool operator==(const Sounded&) const = default;
};

// Pairs every note-on with the first later velocity-0 note-on or note-off of its key.
std::vector<Sounded> PairNotes(const std::vector<ReadEvent>& track, std::string& why) {
  std::map<uint8_t, std::vector<uint32_t>> open;
  std::vector<Sounded> notes;
  for (const ReadEvent& e : track) {
    uint8_t kind = e.status & 0xF0;
    if (kind == 0x90 && e.data[1] > 0) {
      open[e.data[0]].push_back(e.time);
    } else if (kind == 0x80 || (kind == 0x90 && e.data[1] == 0)) {
      auto& starts = open[e.data[0]];
      if (starts.empty()) {
        why = "note-off without note-on at " + std::to_string(e.time);
        return {};
      }
      notes.push_back({starts.front(), e.time, e.data[0]});
      starts.erase(starts.begin());
    }
  }
  for (auto& [key, starts] : open)
    if (!starts.empty()) why = "note-on without note-off, key " + std::to_string(key);
  std::sort(notes.begin(), notes.end());
  return notes;
}

std::unique_ptr<Osnova> Song(uint16_t bars) { return std::make_unique<Osnova>(4, bars, 4); }

}  // namespace

TEST(TabToMidi, EveryRowOfEveryBarStartsWithItsNamesAndProgramChange) {
  auto doc = Song(2);
  TMIDI_Container c;
  Convert_Tab(c, doc->Bars, 120);
  ASSERT_EQ(c.Count(), 48);  // 24 per bar, no notes
  EXPECT_EQ(c.Time_Sig_Numerator(), 4);
  EXPECT_EQ(c.Time_Sig_Denominator(), 4);
  EXPECT_EQ(c.Beats_Per_Minute(), 120);
  EXPECT_EQ(c.Channels_Used(), 1);
  EXPECT_TRUE(c.Channel_Used(10));
  int patches = 0, names = 0;
  for (int32_t i = 0; i < c.Count(); ++i) {
    const TMIDI_Event* e = c.Event_At(i);
    EXPECT_EQ(e->Event_Time(), 0);
    EXPECT_EQ(e->Channel(), 10);
    // Newest first: track name, instrument name, program change, row after row backwards.
    switch (i % 3) {
      case 0:
        EXPECT_EQ(e->Status_Byte(), 0xFF);
        EXPECT_EQ(e->Byte_1(), 3);
        ++names;
        break;
      case 1:
        EXPECT_EQ(e->Status_Byte(), 0xFF);
        EXPECT_EQ(e->Byte_1(), 4);
        ++names;
        break;
      case 2:
        EXPECT_EQ(e->Status_Byte(), 0xC9);
        EXPECT_EQ(e->Byte_1(), 0);
        EXPECT_EQ(e->Extra(), -1);
        ++patches;
        break;
    }
  }
  EXPECT_EQ(patches, 16);
  EXPECT_EQ(names, 32);
  EXPECT_EQ(c.Event_At(0)->Event_Text(), "x");
  EXPECT_EQ(c.Event_At(1)->Event_Text(), "0");
  EXPECT_EQ(c.Event_At(45)->Event_Text(), "Drum Tab MIDI made with GroovePad");
  EXPECT_EQ(c.Event_At(46)->Event_Text(), "Instrument 49");

  // An empty one-bar tab still writes a tempo track and the channel-10 track.
  auto one = Song(1);
  Convert_Tab(c, one->Bars, 120);
  std::string why;
  auto file = ParseMidi(Written(c), why);
  ASSERT_TRUE(file) << why;
  EXPECT_EQ(file->tracks, 2);
  EXPECT_EQ(file->track[1].size(), 25u);  // 24 events and the end of track
}

TEST(TabToMidi, BassDrumBarGivesTheNotesInTimeOrder) {
  auto doc = Song(2);
  doc->EditBar(0).Rows[RowBass].Set(0, 0, 1);
  doc->EditBar(0).Rows[RowBass].Set(8, 0, 0);
  TMIDI_Container c;
  Convert_Tab(c, doc->Bars, 120);
  ASSERT_EQ(c.Count(), 52);
  struct N {
    int32_t time;
    uint8_t key, velocity;
  };
  std::vector<N> want = {{0, 36, 127}, {16, 36, 94}, {20, 36, 0}, {36, 36, 0}};
  for (size_t i = 0; i < want.size(); ++i) {
    const TMIDI_Event* e = c.Event_At(static_cast<int32_t>(48 + i));
    EXPECT_EQ(e->Event_Time(), want[i].time);
    EXPECT_EQ(e->Status_Byte(), 0x99);
    EXPECT_EQ(e->Byte_1(), want[i].key);
    EXPECT_EQ(e->Byte_2(), want[i].velocity);
    EXPECT_EQ(e->Extra(), 20);
  }
}

TEST(TabToMidi, BarLengthsAdvanceTimeAndVariantsPickKeys) {
  auto doc = Song(4);
  doc->EditBar(0).Reset(3, 4);  // 12 positions
  doc->EditBar(1).Reset(16, 4);  // 64 positions
  ASSERT_EQ(doc->Bar(0).Length, 12);
  ASSERT_EQ(doc->Bar(1).Length, 64);
  doc->EditBar(1).Rows[RowCymbals].Set(63, 2, 0);  // china
  doc->EditBar(2).Rows[RowSnare].Set(0, 1, 0);     // rim click
  doc->EditBar(2).Rows[RowHiHat].Set(0, 1, 0);     // open hi-hat
  doc->EditBar(2).Rows[RowRide].Set(0, 0, 0);
  // A note kept beyond a shortened bar's end is not exported.
  doc->EditBar(3).Rows[RowTom1].Set(20, 0, 0);
  doc->EditBar(3).Rows[RowTom2].Set(15, 0, 0);
  TMIDI_Container c;
  Convert_Tab(c, doc->Bars, 100);
  std::vector<std::tuple<int32_t, uint8_t>> ons;
  c.For_Each([&](const TMIDI_Event& e) {
    if (e.Status_Byte() == 0x99 && e.Byte_2() > 0) ons.emplace_back(e.Event_Time(), e.Byte_1());
  });
  // Bar starts: 0, 24, 152, 184. Rows in ascending order within a position.
  std::vector<std::tuple<int32_t, uint8_t>> want = {
      {24 + 126, 52}, {152, 59}, {152, 46}, {152, 37}, {184 + 30, 47}};
  EXPECT_EQ(ons, want);
}

TEST(TabToMidi, ExportingTwiceGivesTheSameFile) {
  auto doc = Song(3);
  doc->EditBar(1).Rows[RowSnare].Set(4, 0, 0);
  TMIDI_Container c;
  Convert_Tab(c, doc->Bars, 120);
  std::string first = Written(c);
  Convert_Tab(c, doc->Bars, 120);
  EXPECT_EQ(c.Count(), 3 * 24 + 2);
  EXPECT_EQ(Written(c), first);
  // The descriptive names come with every export, not only the program's first.
  TMIDI_Container other;
  Convert_Tab(other, doc->Bars, 120);
  EXPECT_EQ(Written(other), first);
}

TEST(TabToMidi, IndependentReaderFindsEveryNoteAsWritten) {
  auto doc = Song(40);
  std::vector<Sounded> want;
  int32_t barTime = 0;
  for (int b = 0; b < 40; ++b) {
    TBar& bar = doc->EditBar(b);
    if (b % 5 == 3) bar.Reset(static_cast<uint8_t>(1 + b % 16), 4);
    for (int p = 0; p < bar.Length; ++p) {
      // A dense, irregular pattern: overlapping notes of one key included.
      if ((p + b) % 3 == 0) bar.Rows[RowHiHat].Set(p, static_cast<uint8_t>(p % 2), 0);
      if ((p * 7 + b) % 5 == 0) bar.Rows[RowBass].Set(p, 0, 0);
      if (p % 4 == 2) bar.Rows[RowCymbals].Set(p, static_cast<uint8_t>(b % 3), 0);
    }
    for (int row = 1; row <= 8; ++row)
      for (int p = 0; p < bar.Length; ++p)
        if (bar.Rows[row].Has(p)) {
          uint32_t t = static_cast<uint32_t>(barTime + 2 * p);
          uint8_t key = row == RowHiHat ? (p % 2 ? 46 : 42)
                        : row == RowBass ? 36
                                         : (b % 3 == 0 ? 49 : b % 3 == 1 ? 55 : 52);
          want.push_back({t, t + 20, key});
        }
    barTime += 2 * bar.Length;
  }
  std::sort(want.begin(), want.end());

  TMIDI_Container c;
  Convert_Tab(c, doc->Bars, 140);
  std::string why;
  auto file = ParseMidi(Written(c), why);
  ASSERT_TRUE(file) << why;
  EXPECT_EQ(file->format, 1);
  EXPECT_EQ(file->division, 8);
  ASSERT_EQ(file->tracks, 2);
  const auto& tempo = file->track[0];
  // 4/4, the tempo, then a time signature wherever a bar's timing differs from the one before.
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> signatures, wantSignatures;
  uint32_t at = 0;
  for (int b = 0; b < 40; ++b) {
    const int numerator = doc->Bar(b).Length / 4;
    if (b > 0 && doc->Bar(b).Length != doc->Bar(b - 1).Length)
      wantSignatures.push_back({at, {static_cast<uint8_t>(numerator), 2, 24, 8}});
    at += 2 * doc->Bar(b).Length;
  }
  ASSERT_EQ(tempo.size(), 3u + wantSignatures.size());
  EXPECT_EQ(tempo[0].type, 0x58);
  EXPECT_EQ(tempo[0].data, (std::vector<uint8_t>{4, 2, 24, 8}));
  for (std::size_t i = 2; i + 1 < tempo.size(); ++i) {
    EXPECT_EQ(tempo[i].type, 0x58);
    signatures.push_back({tempo[i].time, tempo[i].data});
  }
  EXPECT_EQ(signatures, wantSignatures);
  EXPECT_EQ(tempo[1].type, 0x51);
  uint32_t us = (tempo[1].data[0] << 16) | (tempo[1].data[1] << 8) | tempo[1].data[2];
  EXPECT_EQ(us, 60000000u / 140);

  const auto& drums = file->track[1];
  size_t timeZero = 0;
  for (const ReadEvent& e : drums)
    if (e.time == 0 && (e.status & 0xF0) != 0x90) ++timeZero;
  EXPECT_EQ(timeZero, 40u * 24u);
  std::vector<Sounded> got = PairNotes(drums, why);
  EXPECT_EQ(why, "");
  EXPECT_EQ(got, want);
  for (const ReadEvent& e : drums)
    if ((e.status & 0xF0) == 0x90) {
      EXPECT_EQ(e.status, 0x99);
      EXPECT_TRUE(e.data[1] == 94 || e.data[1] == 0);
    }
}

// Bars of sixteenth triplets and of 32nds go out at 480 ticks a quarter, every time exact: a triplet
// 80 ticks, a 32nd 60, a flam's grace stroke 60 before its note, notes still 2.5 quarters long; a
// 4/4 bar of triplets is 4/4, a 3/4 one 3/4. Swing shifts the off-beats: 50 % on sixteenths (dotted)
// at 480 ticks, 33 % on eighths (2400 + 792 units of 4800, 319.2 ticks at 480) at 2400.
TEST(TabToMidi, GridBarsAndSwingAreWrittenAtExactTicks) {
  Osnova song(4, 3, 4);
  const BarGrid grids[] = {BarGrid::SixteenthTriplets, BarGrid::ThirtySeconds, BarGrid::SixteenthTriplets};
  for (int b = 0; b < 3; ++b) {
    TBar& bar = song.EditBar(b);
    bar.Grid = grids[b];
    bar.Length = GridLength(b == 2 ? 3 : 4, 4, bar.Grid);
  }
  TBar& triplets = song.EditBar(0);
  triplets.Rows[RowBass].Set(0, 0, 0);
  triplets.Rows[RowSnare].Set(1, 0, 0);
  triplets.Rows[RowSnare].Set(5, 0, 0);
  triplets.Rows[RowTom1].Set(7, 0, 0);
  triplets.Rows[RowTom1].Cells[7].Style = static_cast<uint8_t>(NoteStyle::Flam);
  for (int p : {0, 3, 31}) song.EditBar(1).Rows[RowHiHat].Set(p, 0, 0);
  song.EditBar(2).Rows[RowBass].Set(17, 0, 0);

  std::string why;
  auto file = ParseMidi(TabMidiFileBytes(song.Bars, 100), why);
  ASSERT_TRUE(file) << why;
  EXPECT_EQ(file->division, 480);
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> signatures;
  for (const ReadEvent& e : file->track[0])
    if (e.type == 0x58) signatures.push_back({e.time, e.data});
  EXPECT_EQ(signatures, (std::vector<std::pair<uint32_t, std::vector<uint8_t>>>{{0, {4, 2, 24, 8}}, {3840, {3, 2, 24, 8}}}));
  std::vector<Sounded> want = {{0, 1200, 36},       {80, 1280, 38},     {400, 1600, 38},    {500, 560, 48},
                               {560, 1760, 48},     {1920, 3120, 42},   {2100, 3300, 42},   {3780, 4980, 42},
                               {5200, 6400, 36}};
  std::sort(want.begin(), want.end());
  EXPECT_EQ(PairNotes(file->track[1], why), want);
  EXPECT_EQ(why, "");

  auto onsets = [&](const SongSwing& swing, uint16_t& division) {
    Osnova groove(4, 1, 4);
    for (int p = 0; p < 16; ++p) groove.EditBar(0).Rows[RowHiHat].Set(p, 0, 0);
    auto read = ParseMidi(TabMidiFileBytes(groove.Bars, 100, swing), why);
    std::vector<uint32_t> out;
    if (!read) return out;
    division = read->division;
    for (const Sounded& n : PairNotes(read->track[1], why)) out.push_back(n.on);
    return out;
  };
  uint16_t division = 0;
  const auto dotted = onsets({50, SwingUnit::Sixteenths}, division);
  EXPECT_EQ(division, 480);
  ASSERT_EQ(dotted.size(), 16u);
  for (uint32_t p = 0; p < 16; ++p) EXPECT_EQ(dotted[p], 120 * (p - p % 2) + (p % 2 ? 180 : 0)) << p;
  const auto shuffle = onsets({33, SwingUnit::Eighths}, division);
  EXPECT_EQ(division, 2400);
  ASSERT_EQ(shuffle.size(), 16u);
  const uint32_t inBeat[] = {0, 798, 1596, 1998};  // the sixteenths between in proportion
  for (uint32_t p = 0; p < 16; ++p) EXPECT_EQ(shuffle[p], 2400 * (p / 4) + inBeat[p % 4]) << p;
}
