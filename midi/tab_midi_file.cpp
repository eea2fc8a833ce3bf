#include "midi/tab_midi_file.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>
#include <vector>

#include "common/atomic_file.h"
#include "midi/drum_map.h"
#include "midi/midi_events.h"
#include "midi/midi_out_file.h"
#include "midi/tab_to_midi.h"
#include "model/expressive_notes.h"

namespace {

constexpr uint8_t kNoteStatus = 0x90 + kDrumChannel - 1;  // note-on, and note-off as velocity 0

struct NoteEvent {
  int64_t Time;
  uint8_t Key;
  uint8_t Velocity;
};

// Writes into memory reserved up front; the bound is checked by the caller's sizing.
class Cursor {
 public:
  explicit Cursor(char* at) : at_(at) {}
  void Byte(uint8_t v) { *at_++ = static_cast<char>(v); }
  void Bytes(std::string_view b) {
    std::memcpy(at_, b.data(), b.size());
    at_ += b.size();
  }
  void Long(uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) Byte(static_cast<uint8_t>(v >> shift));
  }
  void VarLen(uint32_t v) {
    char groups[5];
    int n = 0;
    do {
      groups[n++] = static_cast<char>(v & 0x7F);
      v >>= 7;
    } while (v != 0);
    for (int i = n - 1; i > 0; --i) Byte(static_cast<uint8_t>(groups[i] | 0x80));
    Byte(static_cast<uint8_t>(groups[0]));
  }
  char* At() const { return at_; }

 private:
  char* at_;
};

// The three time-0 events every row of every bar begins with (track name, instrument name,
// program change, in the order the list holds them), each with its zero delta.
std::string RowHeadBytes(uint8_t row, bool firstRow) {
  std::string out;
  const std::string track = firstRow ? std::string("Drum Tab MIDI made with ") + kExportProgramName : "x";
  const std::string instrument = firstRow ? "Instrument " + std::to_string(DrumNoteOf(row, 0)) : "0";
  out.push_back(0);
  TMeta_Text_Event(0, kDrumChannel, 3, track).Write_Event(out);
  out.push_back(0);
  TMeta_Text_Event(0, kDrumChannel, 4, instrument).Write_Event(out);
  out.push_back(0);
  TPatch(0, -1, kDrumChannel, 0xC0, 0, 0).Write_Event(out);
  return out;
}

// DrumNoteOf for every row and variant, looked up instead of called per note.
class KeyTable {
 public:
  KeyTable() {
    for (int row = 0; row < kRowCount; ++row)
      for (int variant = 0; variant < 256; ++variant)
        table_[static_cast<std::size_t>(row * 256 + variant)] =
            DrumNoteOf(static_cast<uint8_t>(row), static_cast<uint8_t>(variant));
  }
  uint8_t Of(uint8_t row, uint8_t variant) const { return table_[static_cast<std::size_t>(row * 256 + variant)]; }

 private:
  std::array<uint8_t, kRowCount * 256> table_{};
};

uint64_t WrittenNotes(const TBar& bar, uint8_t row) {
  return bar.Rows[row].Notes & PositionsBelow(bar.Length);
}

}  // namespace

std::string TabMidiFileBytes(const BarArray& bars, uint16_t tempo, const SongSwing& swing) {
  // Grace strokes and rolls put strokes before their note's time, into the bar before, where this
  // writer has already written: such a song goes through the event list, which orders anything.
  for (const auto& bar : bars)
    if (bar->HasExpression()) {
      TMIDI_Container container;
      Convert_Tab(container, bars, tempo, swing);
      TMIDI_Out_File file;
      std::string error;
      if (!file.Write_File(container, error)) throw std::bad_alloc();
      return file.Bytes();
    }
  // Times as the event list has them: the same resolution and the same rounding.
  const uint16_t ticksPerQuarter = MidiTicksPerQuarter(bars, swing);
  auto ticksOf = [&](int64_t units) { return MidiTicks(units, ticksPerQuarter); };
  const int64_t noteTicks = ticksOf(kUnitsPerQuarter * kExportNoteTicks / 8);
  // Sizing: every note is two events of a delta and three bytes. A delta takes one byte more for
  // each factor of 128, and the deltas add up to the song's length in ticks, so the extra bytes
  // are at most 3 x (ticks / 128 + 1).
  uint64_t notes = 0;
  int64_t songUnits = 0;
  for (const auto& bar : bars) {
    for (uint8_t row = 1; row < kRowCount; ++row) notes += static_cast<uint64_t>(std::popcount(WrittenNotes(*bar, row)));
    songUnits += BarUnits(*bar);
  }
  const auto ticks = static_cast<uint64_t>(ticksOf(songUnits) + noteTicks);
  const std::string otherRows = RowHeadBytes(1, false);
  const std::string firstRow = RowHeadBytes(1, true);
  const uint64_t rowCount = bars.size() * (kRowCount - 1);
  // The time signatures: the first bar's at 0, then one wherever a bar's differs, after the tempo.
  auto signatureBytes = [](std::string& out, uint32_t delta, std::pair<uint8_t, uint8_t> sig) {
    AppendVarLen(out, delta);
    uint8_t exponent = 0;
    while ((1u << exponent) < sig.second) ++exponent;
    const uint8_t bytes[] = {0xFF, 0x58, 4, sig.first, exponent, 24, 8};
    out.append(reinterpret_cast<const char*>(bytes), sizeof bytes);
  };
  std::pair<uint8_t, uint8_t> firstSignature{4, 4};
  std::string changes;
  if (!bars.empty()) {
    firstSignature = BarTimeSignature(*bars[0]);
    std::pair<uint8_t, uint8_t> signature = firstSignature;
    int64_t at = 0, previous = 0;
    for (const auto& bar : bars) {
      const auto next = BarTimeSignature(*bar);
      if (next != signature) {
        signatureBytes(changes, static_cast<uint32_t>(ticksOf(at) - previous), next);
        previous = ticksOf(at);
      }
      signature = next;
      at += BarUnits(*bar);
    }
  }
  const std::size_t bound = 64 + changes.size() + firstRow.size() + rowCount * otherRows.size() + notes * 2 * 4 +
                            3 * (ticks / 128 + 1);
  std::string out(bound, '\0');
  Cursor w(out.data());

  // Header and the tempo track: 4/4 and the tempo, as the export sets them.
  w.Bytes("MThd");
  w.Long(6);
  w.Byte(0), w.Byte(1);                     // format 1
  w.Byte(0), w.Byte(bars.empty() ? 1 : 2);  // tracks
  w.Byte(static_cast<uint8_t>(ticksPerQuarter >> 8)), w.Byte(static_cast<uint8_t>(ticksPerQuarter));
  const uint32_t microseconds = TMIDI_Out_File::MicrosecondsPerQuarter(tempo);
  std::string tempoTrack;
  signatureBytes(tempoTrack, 0, firstSignature);
  const uint8_t tempoEvent[] = {0, 0xFF, 0x51, 3, static_cast<uint8_t>(microseconds >> 16),
                                static_cast<uint8_t>(microseconds >> 8), static_cast<uint8_t>(microseconds)};
  tempoTrack.append(reinterpret_cast<const char*>(tempoEvent), sizeof tempoEvent);
  tempoTrack += changes;
  tempoTrack.append("\0\xFF\x2F\0", 4);
  w.Bytes("MTrk");
  w.Long(static_cast<uint32_t>(tempoTrack.size()));
  w.Bytes(tempoTrack);
  if (bars.empty()) {
    out.resize(static_cast<std::size_t>(w.At() - out.data()));
    return out;
  }

  w.Bytes("MTrk");
  char* const lengthAt = w.At();
  w.Long(0);
  char* const trackStart = w.At();
  // Each row's time-0 events go before every earlier one, so the list starts with the last
  // bar's last row and ends with the first row of bar 0.
  for (uint64_t i = 1; i < rowCount; ++i) w.Bytes(otherRows);
  w.Bytes(firstRow);

  // The notes in time order; at equal times in the order the export adds them (bar, row, position,
  // note-on before its note-off). A bar's events are made in that order and sorted by time keeping
  // it; no later bar has anything before the bar's end, so what lies before it is written, and the
  // note-offs that reach into later bars wait in `pending`, going first at equal times as the older.
  static const KeyTable keys;
  std::vector<NoteEvent> pending, later, merged;
  int64_t previous = 0;
  auto emit = [&](const NoteEvent& e) {
    w.VarLen(static_cast<uint32_t>(e.Time - previous));
    w.Byte(kNoteStatus), w.Byte(e.Key), w.Byte(e.Velocity);
    previous = e.Time;
  };
  auto byTime = [](const NoteEvent& a, const NoteEvent& b) { return a.Time < b.Time; };
  int64_t barUnits = 0;
  for (const auto& barPtr : bars) {
    const TBar& bar = *barPtr;
    barUnits += BarUnits(bar);
    const int64_t nextBar = ticksOf(barUnits);
    const int64_t barStart = barUnits - BarUnits(bar);
    later.clear();
    for (uint8_t row = 1; row < kRowCount; ++row)
      for (uint64_t set = WrittenNotes(bar, row); set; set &= set - 1) {
        const int p = std::countr_zero(set);
        const TNoteCell& cell = bar.Rows[row].Cells[static_cast<std::size_t>(p)];
        const int64_t time = ticksOf(barStart + PositionUnits(bar, p, swing));
        const uint8_t key = keys.Of(row, cell.Variant);
        later.push_back({time, key, CellVelocity(cell)});
        later.push_back({time + noteTicks, key, 0});
      }
    std::stable_sort(later.begin(), later.end(), byTime);
    merged.clear();
    std::merge(pending.begin(), pending.end(), later.begin(), later.end(), std::back_inserter(merged), byTime);
    std::size_t written = 0;
    while (written < merged.size() && merged[written].Time < nextBar) emit(merged[written++]);
    pending.assign(merged.begin() + static_cast<std::ptrdiff_t>(written), merged.end());
  }
  for (const NoteEvent& e : pending) emit(e);
  w.Byte(0), w.Byte(0xFF), w.Byte(0x2F), w.Byte(0);
  const auto trackLength = static_cast<uint32_t>(w.At() - trackStart);
  Cursor(lengthAt).Long(trackLength);
  out.resize(static_cast<std::size_t>(w.At() - out.data()));
  return out;
}

bool ExportTabMidiFile(const BarArray& bars, uint16_t tempo, const std::string& path, std::string& error,
                       const SongSwing& swing) {
  std::string bytes;
  try {
    bytes = TabMidiFileBytes(bars, tempo, swing);
  } catch (const std::bad_alloc&) {
    error = "Not enough memory for the MIDI file.";
    return false;
  }
  return WriteFileAtomically(path, bytes, error);
}
