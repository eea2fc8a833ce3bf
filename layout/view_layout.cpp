#include "layout/view_layout.h"

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

int LayOutView(Osnova& doc, uint16_t first) {
  int b = first;
  int slot = 0;
  int line = 0;
  int linesUsed = 1;
  while (b < doc.BarCount && line < 2) {
    LayOutBar(doc, b, slot, line);
    ++b;
    ++slot;
    if (b < doc.BarCount && !view::FitsAfter(doc.Bar(b - 1).EndCol, doc.Bar(b).Length)) {
      ++line;
      slot = 0;
      if (line < 2) linesUsed = 2;
    }
  }
  doc.LastVisibleBar = static_cast<uint16_t>(b - 1);
  doc.FirstVisibleBar = first;
  return linesUsed;
}

ViewHit FindXY(const Osnova& doc, int x, int y) {
  const int n = ShownInstrumentRows(doc);
  const int H = view::LineHeight(n);
  ViewHit hit{64, 2};
  if (y >= 50 && y <= 15 * (n - 1) + 60)
    hit.Line = 0;
  else if (y >= H + 40 && y <= H + 15 * (n - 1) + 60)
    hit.Line = 1;
  for (int j = 0; j < view::kColumns; ++j) {
    if (x >= 81 + 11 * j && x < 92 + 11 * j) {
      hit.Column = j;
      break;
    }
  }
  return hit;
}
