#include "model/import_result.h"

#include <algorithm>

std::unique_ptr<Osnova> NewImportedDocument(BarArray bars) {
  auto doc = std::make_unique<Osnova>(4, 1, 4);
  doc->Bars = std::move(bars);
  doc->BarCount = static_cast<uint16_t>(doc->Bars.size());
  const TBar& first = doc->Bar(0);
  // The document's numerator is what the timing boxes offer, 1..16.
  const int numerator = first.Grid == BarGrid::Sixteenths
                            ? NumeratorFromLength(first.Length, first.Denominator)
                            : GridNumerator(first.Length, first.Denominator, first.Grid);
  doc->Numerator = static_cast<uint8_t>(std::clamp<int>(numerator, 1, 16));
  doc->Modified = true;
  return doc;
}

void ShowRowsWithNotes(Osnova& doc) {
  for (const auto& bar : doc.Bars)
    for (int r = RowCymbals; r <= RowBass; ++r)
      if (bar->Rows[static_cast<std::size_t>(r)].Notes != 0)
        doc.Kit[static_cast<std::size_t>(r)] = 1;
  RecomputeLineOfRow(doc);
}
