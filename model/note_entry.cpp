#include "model/note_entry.h"

bool IsValidVariant(int row, int variant) {
  switch (row) {
    case RowCymbals: return variant >= 0 && variant <= 2;
    case RowHiHat: case RowSnare: return variant == 0 || variant == 1;
    case RowRide: case RowTom1: case RowTom2: case RowFloor: case RowBass: return variant == 0;
    default: return false;
  }
}

bool ColumnHasShownNote(const Osnova& doc, const TBar& bar, int position) {
  for (int r = RowCymbals; r <= RowBass; ++r)
    if (doc.Kit[r] && bar.Rows[r].Has(position)) return true;
  return false;
}

bool CountShownWithoutNote(const TBar& bar, int position) {
  return bar.Grid != BarGrid::Sixteenths && position % CellsPerQuarter(bar.Grid) == 0;
}

std::string PositionError(const Osnova& doc, int bar, int position) {
  if (bar < 0 || bar >= static_cast<int>(doc.Bars.size())) return "There is no bar " + std::to_string(bar) + ".";
  if (position < 0 || position >= doc.Bar(bar).Length)
    return "Position " + std::to_string(position) + " is outside the bar.";
  return {};
}

NoteEntry SetNoteAt(Osnova& doc, int bar, int position, int row, int variant, int accent,
                    const std::function<void()>& push) {
  NoteEntry e;
  e.Position = position;
  e.Row = row;
  e.Error = PositionError(doc, bar, position);
  if (!e.Error.empty()) return e;
  if (row < RowCymbals || row > RowBass || !IsValidVariant(row, variant) ||
      (accent != 0 && accent != 1)) {
    e.Error = "There is no such instrument.";
    return e;
  }
  // Checked here as well as by the key handler and the buttons: a note on a hidden row would be
  // invisible yet saved, played and exported.
  if (!doc.Kit[row]) {
    e.Error = "This instrument is not shown.";
    return e;
  }
  if (push) push();

  TBar& b = doc.EditBar(bar);
  TNoteRow& notes = b.Rows[row];
  const uint8_t v = static_cast<uint8_t>(variant);
  const uint8_t a = static_cast<uint8_t>(accent);
  e.Variant = v;
  if (notes.Has(position)) {
    e.EraseOldLetter = true;
    const TNoteCell& cell = notes.Cells[position];
    if (cell.Variant == v && cell.Accent == a) {
      notes.Remove(position);
      e.Change = NoteChange::Removed;
      e.EraseCount = !ColumnHasShownNote(doc, b, position) && !CountShownWithoutNote(b, position);
      doc.Modified = true;
      return e;
    }
    e.Change = NoteChange::Replaced;
  } else {
    e.Change = NoteChange::Set;
    e.DrawCount = !ColumnHasShownNote(doc, b, position) && !CountShownWithoutNote(b, position);
  }
  notes.Set(position, v, a);
  e.DrawLetter = true;
  e.Letter = NoteLetter(row, v, a);
  e.Sound = true;
  e.Velocity = static_cast<uint8_t>(94 + 33 * a);
  doc.Modified = true;
  return e;
}

bool InstrumentOfTag(int tag, int& row, int& variant) {
  const int r = tag / 10;
  const int v = tag % 10;
  if (tag < 0 || !IsValidVariant(r, v)) return false;
  row = r;
  variant = v;
  return true;
}
