#include "midi/tab_to_midi.h"

#include <algorithm>
#include <string>
#include <utility>

#include "midi/drum_map.h"

void Convert_Row(TMIDI_Container& container, uint8_t row,
                 const std::array<TNoteCell, kMaxPositions>& cells, int32_t barTime,
                 uint64_t notes, uint8_t length, bool firstRow) {
  container.Add_New_Event_First<TPatch>(0, -1, kDrumChannel, 0xC0, 0, 0);
  std::string instrument =
      firstRow ? "Instrument " + std::to_string(DrumNoteOf(row, 0)) : std::string("0");
  container.Add_New_Event_First<TMeta_Text_Event>(0, kDrumChannel, 4, std::move(instrument));
  std::string track =
      firstRow ? std::string("Drum Tab MIDI made with ") + kExportProgramName : std::string("x");
  container.Add_New_Event_First<TMeta_Text_Event>(0, kDrumChannel, 3, std::move(track));

  int end = std::min<int>(length, kMaxPositions);
  for (int p = 0; p < end; ++p) {
    if (((notes >> p) & 1u) == 0) continue;
    uint8_t key = DrumNoteOf(row, cells[static_cast<std::size_t>(p)].Variant);
    int32_t t = barTime + 2 * p;  // a sixteenth is 2 ticks at 8 ticks a quarter
    container.Add_New_Event<TNote_On>(t, kExportNoteTicks, kDrumChannel, 0x90, key,
                                      kExportVelocity);
    container.Add_New_Event<TNote_Off>(t + kExportNoteTicks, kExportNoteTicks, kDrumChannel, 0x90,
                                       key, 0);
  }
}

void Convert_Tab(TMIDI_Container& container, const BarArray& bars, uint16_t tempo) {
  container.Clear_Events();
  container.Set_Time_Signature(4, 4);
  container.Set_Beats_Per_Minute(tempo);
  int32_t barTime = 0;
  bool firstRow = true;
  for (const auto& bar : bars) {
    for (uint8_t row = 1; row < kRowCount; ++row) {
      const TNoteRow& r = bar->Rows[row];
      Convert_Row(container, row, r.Cells, barTime, r.Notes, bar->Length, firstRow);
      firstRow = false;
    }
    barTime += 2 * bar->Length;
  }
}
