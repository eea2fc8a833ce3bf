// A swung song with a bar in every grid, notes on the cells each grid alone has, for the round trips
// of the files, exports and imports (compare with expressive_song::Describe).
#pragma once

#include <memory>

#include "model/tab_document.h"

namespace time_feel_song {

inline std::unique_ptr<Osnova> Make(SongSwing swing = {33, SwingUnit::Eighths}) {
  constexpr BarGrid kGrids[] = {BarGrid::Sixteenths, BarGrid::ThirtySeconds, BarGrid::EighthTriplets,
                                BarGrid::SixteenthTriplets, BarGrid::Mixed};
  auto doc = std::make_unique<Osnova>(4, static_cast<uint16_t>(std::size(kGrids) + 1), 4);
  doc->Swing = swing;
  for (std::size_t b = 0; b < std::size(kGrids); ++b) {
    TBar& bar = doc->EditBar(static_cast<int>(b));
    bar.Grid = kGrids[b];
    bar.Length = GridLength(4, 4, bar.Grid);
    const int beat = CellsPerQuarter(bar.Grid);
    for (int p = 0; p < bar.Length; ++p) {
      if (p % beat == 0) bar.Rows[RowBass].Set(p, 0, p == 0 ? 1 : 0);
      if (p % 2 == 1 || beat == 3) bar.Rows[RowHiHat].Set(p, 0, 0);  // every odd cell: e, a, let, 32nds
      if (p == bar.Length - 1) bar.Rows[RowSnare].Set(p, 0, 1);
    }
  }
  // A 7/8 bar of 32nds closes the song: its last eighth has no swing partner.
  TBar& last = doc->EditBar(static_cast<int>(std::size(kGrids)));
  last.Denominator = 8;
  last.Grid = BarGrid::ThirtySeconds;
  last.Length = GridLength(7, 8, last.Grid);
  for (int p = 0; p < last.Length; p += 2) last.Rows[RowRide].Set(p, 0, 0);
  last.Rows[RowTom1].Set(last.Length - 1, 0, 0);
  return doc;
}

}  // namespace time_feel_song
