#include "midi/tab_to_midi.h"

#include <algorithm>
#include <string>
#include <utility>

#include "midi/drum_map.h"
#include "midi/note_strokes.h"

void Convert_Row(TMIDI_Container& container, uint8_t row,
                 const std::array<TNoteCell, kMaxPositions>& cells, int32_t barTime,
                 uint64_t notes, uint8_t length, bool firstRow, uint64_t foot) {
  container.Add_New_Event_First<TPatch>(0, -1, kDrumChannel, 0xC0, 0, 0);
  std::string instrument =
      firstRow ? "Instrument " + std::to_string(DrumNoteOf(row, 0)) : std::string("0");
  container.Add_New_Event_First<TMeta_Text_Event>(0, kDrumChannel, 4, std::move(instrument));
  std::string track =
      firstRow ? std::string("Drum Tab MIDI made with ") + kExportProgramName : std::string("x");
  container.Add_New_Event_First<TMeta_Text_Event>(0, kDrumChannel, 3, std::move(track));

  int end = std::min<int>(length, kMaxPositions);
  StrokeList strokes;
  for (int p = 0; p < end; ++p) {
    strokes.clear();
    if ((notes >> p) & 1u) AddCellStrokes(row, cells[static_cast<std::size_t>(p)], strokes);
    if ((foot >> p) & 1u) AddFootStroke(strokes);
    bool choked = false;
    for (const Stroke& s : strokes) choked = choked || s.Choke;
    for (const Stroke& s : strokes) {
      if (s.Choke) continue;
      // A sixteenth is 2 ticks at 8 ticks a quarter, a stroke offset one tick.
      const int32_t t = std::max(0, barTime + 2 * p + s.Offset);
      const int32_t ticks = s.Offset != 0 ? 1 : choked ? 2 : kExportNoteTicks;
      container.Add_New_Event<TNote_On>(t, ticks, kDrumChannel, 0x90, s.Key, s.Velocity);
      container.Add_New_Event<TNote_Off>(t + ticks, ticks, kDrumChannel, 0x90, s.Key, 0);
    }
  }
}

std::pair<uint8_t, uint8_t> BarTimeSignature(const TBar& bar) {
  const uint8_t numerator = NumeratorFromLength(bar.Length, bar.Denominator);
  if (numerator > 0 && LengthFromTiming(numerator, bar.Denominator) == bar.Length)
    return {numerator, bar.Denominator};
  return {bar.Length, 16};
}

void Convert_Tab(TMIDI_Container& container, const BarArray& bars, uint16_t tempo) {
  container.Clear_Events();
  container.Clear_Time_Signature_Changes();
  std::pair<uint8_t, uint8_t> signature{4, 4};
  if (!bars.empty()) signature = BarTimeSignature(*bars[0]);
  container.Set_Time_Signature(signature.first, signature.second);
  int32_t at = 0;
  for (const auto& bar : bars) {
    const auto next = BarTimeSignature(*bar);
    if (next != signature) container.Add_Time_Signature_Change(at, next.first, next.second);
    signature = next;
    at += 2 * bar->Length;
  }
  container.Set_Beats_Per_Minute(tempo);
  int32_t barTime = 0;
  bool firstRow = true;
  for (const auto& bar : bars) {
    for (uint8_t row = 1; row < kRowCount; ++row) {
      const TNoteRow& r = bar->Rows[row];
      Convert_Row(container, row, r.Cells, barTime, r.Notes, bar->Length, firstRow,
                  row == RowHiHat ? bar->FootNotes : 0);
      firstRow = false;
    }
    barTime += 2 * bar->Length;
  }
}
