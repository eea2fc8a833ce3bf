#include "model/export_extent.h"

#include <algorithm>

int UsableBarCount(const Osnova& doc) {
  return static_cast<int>(std::min<std::size_t>(doc.BarCount, doc.Bars.size()));
}

int LastContentBar(const Osnova& doc, int lo, int hi) {
  hi = std::min(hi, UsableBarCount(doc) - 1);
  // The greater of the last commented bar and the last bar with a shown note is simply the last
  // bar that has either.
  for (int b = hi; b >= std::max(lo, 0); --b) {
    const TBar& bar = doc.Bar(b);
    if (!bar.Comment.empty()) return std::max(b, lo);
    if (doc.Kit[RowHiHat] && bar.FootNotes != 0) return std::max(b, lo);
    for (int r = RowCymbals; r <= RowBass; ++r)
      if (doc.Kit[static_cast<std::size_t>(r)] && bar.Rows[static_cast<std::size_t>(r)].Notes != 0)
        return std::max(b, lo);
  }
  return lo;
}

bool RowHasNotes(const Osnova& doc, int row, int lo, int hi) {
  if (row < 0 || row >= kRowCount) return false;
  hi = std::min(hi, UsableBarCount(doc) - 1);
  for (int b = std::max(lo, 0); b <= hi; ++b)
    if (doc.Bar(b).Rows[static_cast<std::size_t>(row)].Notes != 0) return true;
  return false;
}
