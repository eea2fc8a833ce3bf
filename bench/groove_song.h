// A long song with a typical groove, for benchmarks: 4/4 bars, hi-hat eighths, snare on 2 and 4,
// bass drum on 1 and 3 (twelve notes a bar).
#pragma once

#include <memory>

#include "model/tab_document.h"

inline std::unique_ptr<Osnova> MakeGrooveSong(uint16_t bars) {
  auto doc = std::make_unique<Osnova>(4, bars, 4);
  for (int b = 0; b < bars; ++b) {
    TBar* bar = &doc->EditBar(b);
    for (int p = 0; p < 16; p += 2) bar->Rows[RowHiHat].Set(p, 0, 0);
    bar->Rows[RowSnare].Set(4, 0, 0);
    bar->Rows[RowSnare].Set(12, 0, 1);
    bar->Rows[RowBass].Set(0, 0, 0);
    bar->Rows[RowBass].Set(8, 0, 0);
  }
  doc->Artist = "Bench";
  doc->Song = "Groove";
  return doc;
}
