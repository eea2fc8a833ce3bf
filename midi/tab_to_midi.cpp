#include "midi/tab_to_midi.h"

#include <algorithm>
#include <initializer_list>
#include <numeric>
#include <string>
#include <utility>

#include "midi/drum_map.h"
#include "midi/midi_events.h"
#include "midi/midi_out_file.h"
#include "midi/note_strokes.h"

int64_t MidiTicks(int64_t units, uint16_t ticksPerQuarter) {
  return (std::max<int64_t>(units, 0) * ticksPerQuarter + kUnitsPerQuarter / 2) / kUnitsPerQuarter;
}

namespace {

int32_t Ticks(int64_t units, uint16_t ticksPerQuarter) { return static_cast<int32_t>(MidiTicks(units, ticksPerQuarter)); }

}  // namespace

bool SixteenthsWithoutSwing(const BarArray& bars, const SongSwing& swing) {
  if (swing.On()) return false;
  for (const auto& bar : bars)
    if (bar->Grid != BarGrid::Sixteenths) return false;
  return true;
}

uint16_t MidiTicksPerQuarter(const BarArray& bars, const SongSwing& swing) {
  if (SixteenthsWithoutSwing(bars, swing)) return TMIDI_Out_File::kTicksPerQuarter;
  // Every time is a whole multiple of `unit`: the strokes' 32nds, every cell and bar end.
  int64_t unit = kStrokeOffsetUnits, total = 0;
  for (const auto& bar : bars) {
    const int length = std::min<int>(bar->Length, kMaxPositions);
    for (int p = 1; p < length; ++p) unit = std::gcd(unit, PositionUnits(*bar, p, swing));
    unit = std::gcd(unit, BarUnits(*bar));
    total += BarUnits(*bar);
  }
  // The last note-off, 2.5 quarters after the song's end at most.
  const int64_t span = total + kUnitsPerQuarter * 5 / 2;
  auto fits = [&](int64_t ticks) { return span * ticks / kUnitsPerQuarter <= int64_t{kMaxVarLen}; };
  for (uint16_t ticks : {480, 2400, 4800})
    if (unit * ticks % kUnitsPerQuarter == 0 && fits(ticks)) return ticks;
  for (uint16_t ticks : {2400, 480, 96})
    if (fits(ticks)) return ticks;
  return TMIDI_Out_File::kTicksPerQuarter;
}

void Convert_Row(TMIDI_Container& container, uint8_t row, const TBar& bar, int64_t barUnits,
                 const SongSwing& swing, uint16_t ticksPerQuarter, bool firstRow) {
  container.Add_New_Event_First<TPatch>(0, -1, kDrumChannel, 0xC0, 0, 0);
  std::string instrument =
      firstRow ? "Instrument " + std::to_string(DrumNoteOf(row, 0)) : std::string("0");
  container.Add_New_Event_First<TMeta_Text_Event>(0, kDrumChannel, 4, std::move(instrument));
  std::string track =
      firstRow ? std::string("Drum Tab MIDI made with ") + kExportProgramName : std::string("x");
  container.Add_New_Event_First<TMeta_Text_Event>(0, kDrumChannel, 3, std::move(track));

  // A note lasts 2.5 quarters (20 ticks of 8 a quarter), a grace or roll stroke a 32nd, a choked
  // note a sixteenth.
  const int32_t noteTicks = Ticks(kUnitsPerQuarter * kExportNoteTicks / 8, ticksPerQuarter);
  const int32_t strokeTicks = Ticks(kStrokeOffsetUnits, ticksPerQuarter);
  const int32_t chokedTicks = Ticks(2 * kStrokeOffsetUnits, ticksPerQuarter);
  const TNoteRow& r = bar.Rows[row];
  const uint64_t foot = row == RowHiHat ? bar.FootNotes : 0;
  const int end = std::min<int>(bar.Length, kMaxPositions);
  StrokeList strokes;
  for (int p = 0; p < end; ++p) {
    strokes.clear();
    if ((r.Notes >> p) & 1u) AddCellStrokes(row, r.Cells[static_cast<std::size_t>(p)], strokes);
    if ((foot >> p) & 1u) AddFootStroke(strokes);
    if (strokes.size() == 0) continue;
    bool choked = false;
    for (const Stroke& s : strokes) choked = choked || s.Choke;
    const int64_t at = barUnits + PositionUnits(bar, p, swing);
    for (const Stroke& s : strokes) {
      if (s.Choke) continue;
      const int32_t t = Ticks(at + s.Offset * kStrokeOffsetUnits, ticksPerQuarter);
      const int32_t ticks = s.Offset != 0 ? strokeTicks : choked ? chokedTicks : noteTicks;
      container.Add_New_Event<TNote_On>(t, ticks, kDrumChannel, 0x90, s.Key, s.Velocity);
      container.Add_New_Event<TNote_Off>(t + ticks, ticks, kDrumChannel, 0x90, s.Key, 0);
    }
  }
}

std::pair<uint8_t, uint8_t> BarTimeSignature(const TBar& bar) {
  if (bar.Grid == BarGrid::Sixteenths) {
    const uint8_t numerator = NumeratorFromLength(bar.Length, bar.Denominator);
    if (numerator > 0 && LengthFromTiming(numerator, bar.Denominator) == bar.Length)
      return {numerator, bar.Denominator};
    return {bar.Length, 16};
  }
  const uint8_t numerator = GridNumerator(bar.Length, bar.Denominator, bar.Grid);
  if (numerator > 0) return {numerator, bar.Denominator};
  // The bar's length in the coarsest note that counts it; a triplet bar no such note counts is
  // rounded up to 64ths (the notes keep their times: only a reader's bar lines move).
  const int64_t units = BarUnits(bar);
  for (int denominator : {16, 32, 64}) {
    const int64_t note = 4 * kUnitsPerQuarter / denominator;
    if (units % note == 0 && units / note <= 255)
      return {static_cast<uint8_t>(units / note), static_cast<uint8_t>(denominator)};
  }
  const int64_t note64 = kUnitsPerQuarter / 16;
  return {static_cast<uint8_t>(std::clamp<int64_t>((units + note64 - 1) / note64, 1, 255)), 64};
}

void Convert_Tab(TMIDI_Container& container, const BarArray& bars, uint16_t tempo, const SongSwing& swing) {
  container.Clear_Events();
  container.Clear_Time_Signature_Changes();
  const uint16_t ticksPerQuarter = MidiTicksPerQuarter(bars, swing);
  container.Set_Ticks_Per_Quarter(ticksPerQuarter);
  std::pair<uint8_t, uint8_t> signature{4, 4};
  if (!bars.empty()) signature = BarTimeSignature(*bars[0]);
  container.Set_Time_Signature(signature.first, signature.second);
  int64_t at = 0;
  for (const auto& bar : bars) {
    const auto next = BarTimeSignature(*bar);
    if (next != signature) container.Add_Time_Signature_Change(Ticks(at, ticksPerQuarter), next.first, next.second);
    signature = next;
    at += BarUnits(*bar);
  }
  container.Set_Beats_Per_Minute(tempo);
  int64_t barUnits = 0;
  bool firstRow = true;
  for (const auto& bar : bars) {
    for (uint8_t row = 1; row < kRowCount; ++row) {
      Convert_Row(container, row, *bar, barUnits, swing, ticksPerQuarter, firstRow);
      firstRow = false;
    }
    barUnits += BarUnits(*bar);
  }
}
