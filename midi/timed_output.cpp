#include "midi/timed_output.h"

#include <algorithm>
#include <cmath>

#include "model/expressive_notes.h"

uint8_t ClickVelocity(ClickKind click, int volumePercent) {
  const int full = click == ClickKind::Accent ? 127 : 100;
  return static_cast<uint8_t>(std::clamp((full * std::clamp(volumePercent, 0, 100) + 50) / 100, 1, 127));
}

std::vector<uint32_t> ColumnMessages(const TimedColumn& step, uint8_t accentKey, uint8_t beatKey) {
  std::vector<uint32_t> out;
  if (step.HasColumn) {
    out.push_back(PackShortMessage(0xC0, 0, 0));
    std::array<uint32_t, kRowCount> offs{};
    for (int row = 1; row < kRowCount; ++row) {
      const TNoteCell& cell = step.Column.Cells[static_cast<std::size_t>(row)];
      const uint8_t key = DrumNoteOf(static_cast<uint8_t>(row), cell.Variant);
      const uint8_t vel = CellVelocity(cell);
      out.push_back(PackShortMessage(0x99, key, vel));
      offs[static_cast<std::size_t>(row)] = PackShortMessage(0x89, key, vel);
    }
    out.insert(out.end(), offs.begin() + 1, offs.end());
    // The hi-hat foot, with the column. Grace and roll strokes fall between columns: only the
    // built-in synthesizer, which places every stroke at its frame, plays those.
    if (step.Column.Foot) {
      out.push_back(PackShortMessage(0x99, kPedalHiHatKey, kNormalNoteVelocity));
      out.push_back(PackShortMessage(0x89, kPedalHiHatKey, kNormalNoteVelocity));
    }
  }
  if (step.Click != ClickKind::None && step.ClickVolume > 0) {
    const uint8_t key = step.Click == ClickKind::Accent ? accentKey : beatKey;
    const uint8_t vel = ClickVelocity(step.Click, step.ClickVolume);
    out.push_back(PackShortMessage(0x99, key, vel));
    out.push_back(PackShortMessage(0x89, key, vel));
  }
  return out;
}

void DirectTimedOutput::Schedule(const TimedColumn& step) {
  send_(ColumnMessages(step, kHighWoodBlock, kLowWoodBlock));
}
