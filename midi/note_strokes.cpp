#include "midi/note_strokes.h"

#include "midi/drum_map.h"
#include "model/expressive_notes.h"

uint8_t CellKey(int row, const TNoteCell& cell) {
  if (cell.Style == static_cast<uint8_t>(NoteStyle::Bell) && (row == RowCymbals || row == RowRide))
    return kRideBellKey;
  return DrumNoteOf(static_cast<uint8_t>(row), cell.Variant);
}

void AddCellStrokes(int row, const TNoteCell& cell, StrokeList& out) {
  if (cell.Variant == 255) return;
  // A variant no row has gives key 0; the exports have always written it as such.
  const uint8_t key = CellKey(row, cell);
  const uint8_t v = CellVelocity(cell);
  const auto grace = static_cast<uint8_t>(v / 2 > 0 ? v / 2 : 1);
  switch (static_cast<NoteStyle>(cell.Style)) {
    case NoteStyle::Flam:
      out.Add({-1, key, grace});
      break;
    case NoteStyle::Drag:
      out.Add({-2, key, grace});
      out.Add({-1, key, grace});
      break;
    default:
      break;
  }
  out.Add({0, key, v});
  if (cell.Style == static_cast<uint8_t>(NoteStyle::Roll))
    out.Add({1, key, static_cast<uint8_t>(v * 3 / 4 > 0 ? v * 3 / 4 : 1)});
  // Cut on the next sixteenth.
  if (cell.Style == static_cast<uint8_t>(NoteStyle::Choke)) out.Add({2, key, 0, true});
}

void AddFootStroke(StrokeList& out) { out.Add({0, kPedalHiHatKey, kNormalNoteVelocity}); }

void AddColumnStrokes(const TBar& bar, int position, const std::array<uint8_t, kRowCount>& kit, StrokeList& out) {
  for (int row = RowCymbals; row <= RowBass; ++row) {
    const TNoteRow& r = bar.Rows[static_cast<std::size_t>(row)];
    if (kit[static_cast<std::size_t>(row)] && r.Has(position)) AddCellStrokes(row, r.Cells[static_cast<std::size_t>(position)], out);
  }
  // The foot line belongs to the hi-hat: hidden with it.
  if (kit[RowHiHat] && ((bar.FootNotes >> position) & 1u)) AddFootStroke(out);
}
