#include "model/expressive_notes.h"

#include <vector>

#include "model/note_entry.h"

uint8_t CellVelocity(const TNoteCell& cell) {
  if (cell.Accent) return kAccentNoteVelocity;
  return cell.Ghost ? kGhostNoteVelocity : kNormalNoteVelocity;
}

char ShownLetter(int row, const TNoteCell& cell) {
  const bool accent = cell.Accent != 0;
  switch (static_cast<NoteStyle>(cell.Style)) {
    case NoteStyle::Flam: return accent ? 'F' : 'f';
    case NoteStyle::Drag: return accent ? 'D' : 'd';
    case NoteStyle::Roll: return accent ? 'Z' : 'z';
    case NoteStyle::Choke: return '#';
    case NoteStyle::Bell: return accent ? 'B' : 'b';
    case NoteStyle::None: break;
  }
  return NoteLetter(row, cell.Variant, cell.Accent);
}

bool StyleFitsRow(int row, NoteStyle style) {
  switch (style) {
    case NoteStyle::None: return row >= RowCymbals && row <= RowBass;
    case NoteStyle::Flam:
    case NoteStyle::Drag:
    case NoteStyle::Roll: return row >= RowTom1 && row <= RowSnare;
    case NoteStyle::Choke:
    case NoteStyle::Bell: return row == RowCymbals || row == RowRide;
  }
  return false;
}

const char* ExpressionName(ExpressionKind kind) {
  switch (kind) {
    case ExpressionKind::Ghost: return "ghost note";
    case ExpressionKind::Flam: return "flam";
    case ExpressionKind::Drag: return "drag";
    case ExpressionKind::Roll: return "buzz roll";
    case ExpressionKind::Choke: return "cymbal choke";
    case ExpressionKind::Bell: return "bell";
    case ExpressionKind::Foot: return "hi-hat foot";
    case ExpressionKind::StickRight: return "right-hand sticking";
    case ExpressionKind::StickLeft: return "left-hand sticking";
    case ExpressionKind::StickBoth: return "both-hands sticking";
    case ExpressionKind::Count: break;
  }
  return "";
}

NoteStyle StyleOf(ExpressionKind kind) {
  switch (kind) {
    case ExpressionKind::Flam: return NoteStyle::Flam;
    case ExpressionKind::Drag: return NoteStyle::Drag;
    case ExpressionKind::Roll: return NoteStyle::Roll;
    case ExpressionKind::Choke: return NoteStyle::Choke;
    case ExpressionKind::Bell: return NoteStyle::Bell;
    default: return NoteStyle::None;
  }
}

char StickingLetter(ExpressionKind kind) {
  switch (kind) {
    case ExpressionKind::StickRight: return 'R';
    case ExpressionKind::StickLeft: return 'L';
    case ExpressionKind::StickBoth: return 'B';
    default: return 0;
  }
}

ExpressionEdit ToggleExpression(Osnova& doc, int bar, int position, ExpressionKind kind,
                                const std::function<void()>& push) {
  ExpressionEdit e;
  e.Error = PositionError(doc, bar, position);
  if (!e.Error.empty()) return e;
  const auto p = static_cast<std::size_t>(position);
  if (kind == ExpressionKind::Foot) {
    if (push) push();
    doc.EditBar(bar).FootNotes ^= uint64_t{1} << position;
    doc.Modified = true;
    e.Changed = true;
    return e;
  }
  if (const char letter = StickingLetter(kind)) {
    if (push) push();
    char& at = doc.EditBar(bar).Sticking[p];
    at = at == letter ? 0 : letter;
    doc.Modified = true;
    e.Changed = true;
    return e;
  }
  const NoteStyle style = StyleOf(kind);
  const TBar& read = doc.Bar(bar);
  std::vector<int> rows;
  bool all = true;
  for (int r = RowCymbals; r <= RowBass; ++r) {
    if (!doc.Kit[static_cast<std::size_t>(r)] || !read.Rows[static_cast<std::size_t>(r)].Has(position)) continue;
    if (!StyleFitsRow(r, style)) continue;
    const TNoteCell& cell = read.Rows[static_cast<std::size_t>(r)].Cells[p];
    const bool has = kind == ExpressionKind::Ghost ? cell.Ghost != 0 : cell.Style == static_cast<uint8_t>(style);
    all = all && has;
    rows.push_back(r);
  }
  if (rows.empty()) {
    e.Error = std::string("No note under the cursor can take a ") + ExpressionName(kind) + ".";
    return e;
  }
  if (push) push();
  TBar& b = doc.EditBar(bar);
  for (int r : rows) {
    TNoteCell& cell = b.Rows[static_cast<std::size_t>(r)].Cells[p];
    if (kind == ExpressionKind::Ghost) {
      cell.Ghost = all ? 0 : 1;
      if (cell.Ghost) cell.Accent = 0;
    } else {
      cell.Style = all ? 0 : static_cast<uint8_t>(style) & 7;
    }
  }
  doc.Modified = true;
  e.Changed = true;
  return e;
}
