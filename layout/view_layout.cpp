#include "layout/view_layout.h"

#include <algorithm>

#include "model/note_entry.h"

void LayOutBar(const Osnova& doc, int index, int slot, int line) {
  const TBar& bar = doc.Bar(index);
  bar.StartCol = slot == 0 || index == 0 ? 0 : static_cast<uint8_t>(doc.Bar(index - 1).EndCol + 1);
  PlaceBar(bar, slot, line);
}

void PlaceBar(const TBar& bar, int slot, int line) {
  bar.ViewLine = static_cast<uint8_t>(line);
  bar.SlotInLine = static_cast<uint8_t>(slot);
  bar.EndCol = static_cast<uint8_t>(bar.StartCol + bar.Length - 1);
}

namespace view {

Grid GridOf(int width, int height, int n) {
  Grid grid;
  if (width > kWidth) grid.Columns = std::min(kColumns + (width - kWidth) / kColumnWidth, kMaxColumns);
  const int H = LineHeight(n);
  if (height >= kHeight) {
    grid.Lines = std::min(kLines + (height - kHeight) / H, kMaxLines);
  } else {
    grid.Lines = 1;
    while (grid.Lines < kLines && BarLineBottom(H, grid.Lines, n) < height) ++grid.Lines;
  }
  return grid;
}

}  // namespace view

int LayOutView(Osnova& doc, uint16_t first, const view::Grid& grid) {
  int b = first;
  int slot = 0;
  int line = 0;
  int linesUsed = 1;
  while (b < doc.BarCount && line < grid.Lines) {
    LayOutBar(doc, b, slot, line);
    ++b;
    ++slot;
    if (b < doc.BarCount &&
        !view::FitsAfter(doc.Bar(b - 1).EndCol, doc.Bar(b).Length, grid.Columns)) {
      ++line;
      slot = 0;
      if (line < grid.Lines) linesUsed = line + 1;
    }
  }
  doc.LastVisibleBar = static_cast<uint16_t>(b - 1);
  doc.FirstVisibleBar = first;
  return linesUsed;
}

ViewHit FindXY(const Osnova& doc, int x, int y, const view::Grid& grid) {
  const int n = ShownInstrumentRows(doc);
  const int H = view::LineHeight(n);
  ViewHit hit{grid.Columns, grid.Lines};
  // The first line's band starts at its top staff line, the others' at their bar lines' top.
  if (y >= 50 && y <= 15 * (n - 1) + 60) {
    hit.Line = 0;
  } else {
    for (int line = 1; line < grid.Lines; ++line)
      if (y >= H * line + 40 && y <= H * line + 15 * (n - 1) + 60) hit.Line = line;
  }
  for (int j = 0; j < grid.Columns; ++j) {
    if (x >= 81 + 11 * j && x < 92 + 11 * j) {
      hit.Column = j;
      break;
    }
  }
  return hit;
}

uint64_t CountedPositions(const Osnova& doc, const TBar& bar) {
  uint64_t mask = 0;
  for (int r = RowCymbals; r <= RowBass; ++r)
    if (doc.Kit[r]) mask |= bar.Rows[r].Notes;
  for (int p = 0; p < bar.Length; ++p)
    if (CountShownWithoutNote(bar, p)) mask |= uint64_t{1} << p;
  if (bar.Length < kMaxPositions) mask &= (uint64_t{1} << bar.Length) - 1;
  return mask;
}
