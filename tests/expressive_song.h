// A song with every dynamic and articulation on every row that takes it, the hi-hat foot and the
// sticking line, in a 4/4 and a 2/4 bar, for the round trips of the files and exports.
#pragma once

#include <memory>
#include <string>

#include "model/expressive_notes.h"
#include "model/tab_document.h"

namespace expressive_song {

inline void Put(TBar& bar, int row, int p, uint8_t variant, uint8_t accent, uint8_t ghost, NoteStyle style) {
  bar.Rows[static_cast<std::size_t>(row)].Set(p, variant, accent);
  TNoteCell& cell = bar.Rows[static_cast<std::size_t>(row)].Cells[static_cast<std::size_t>(p)];
  cell.Ghost = ghost;
  cell.Style = static_cast<uint8_t>(style);
}

inline std::unique_ptr<Osnova> Make() {
  auto doc = std::make_unique<Osnova>(4, 2, 4);
  doc->EditBar(1).Reset(2, 4);
  TBar& a = doc->EditBar(0);
  for (int row = RowCymbals; row <= RowBass; ++row) {
    int p = 0;
    // Each row: a ghost note, an accent, then every style the row takes, plain and accented.
    Put(a, row, p++, 0, 0, 1, NoteStyle::None);
    Put(a, row, p++, 0, 1, 0, NoteStyle::None);
    for (int s = 1; s < kNoteStyleCount; ++s) {
      const auto style = static_cast<NoteStyle>(s);
      if (!StyleFitsRow(row, style)) continue;
      Put(a, row, p++, 0, 0, 0, style);
      if (style != NoteStyle::Choke) Put(a, row, p++, 0, 1, 0, style);
    }
  }
  Put(a, RowHiHat, 14, 1, 0, 1, NoteStyle::None);  // a ghost open hi-hat
  a.FootNotes = (uint64_t{1} << 0) | (uint64_t{1} << 4) | (uint64_t{1} << 15);
  const char sticking[] = "R L R L B  RLLR";
  for (int p = 0; p < 15; ++p) a.Sticking[static_cast<std::size_t>(p)] = sticking[p] == ' ' ? 0 : sticking[p];
  TBar& b = doc->EditBar(1);
  Put(b, RowSnare, 0, 0, 1, 0, NoteStyle::None);
  Put(b, RowSnare, 3, 0, 0, 1, NoteStyle::None);
  Put(b, RowSnare, 4, 0, 0, 0, NoteStyle::Flam);
  Put(b, RowBass, 0, 0, 0, 0, NoteStyle::None);
  b.FootNotes = uint64_t{1} << 6;
  b.Sticking[0] = 'R';
  return doc;
}

// Everything a bar holds besides its layout and comment, for comparing two songs.
inline std::string Describe(const Osnova& doc) {
  std::string out;
  if (doc.Swing.On()) out += "swing " + SwingText(doc.Swing) + "\n";
  for (std::size_t b = 0; b < doc.Bars.size(); ++b) {
    const TBar& bar = *doc.Bars[b];
    out += "bar " + std::to_string(b) + " " + std::to_string(bar.Length) + "/" + std::to_string(bar.Denominator);
    if (bar.Grid != BarGrid::Sixteenths) out += std::string(" in ") + GridName(bar.Grid);
    out += "\n";
    for (int row = RowCymbals; row <= RowBass; ++row)
      for (int p = 0; p < bar.Length; ++p) {
        if (!bar.Rows[static_cast<std::size_t>(row)].Has(p)) continue;
        const TNoteCell& c = bar.Rows[static_cast<std::size_t>(row)].Cells[static_cast<std::size_t>(p)];
        out += "  row " + std::to_string(row) + " p " + std::to_string(p) + " v" + std::to_string(c.Variant) +
               " a" + std::to_string(c.Accent) + " g" + std::to_string(c.Ghost) + " s" + std::to_string(c.Style) + "\n";
      }
    for (int p = 0; p < bar.Length; ++p) {
      if ((bar.FootNotes >> p) & 1u) out += "  foot " + std::to_string(p) + "\n";
      if (bar.Sticking[static_cast<std::size_t>(p)])
        out += std::string("  stick ") + std::to_string(p) + " " + bar.Sticking[static_cast<std::size_t>(p)] + "\n";
    }
  }
  return out;
}

// The same song without anything the plain bar blocks cannot hold.
inline std::unique_ptr<Osnova> Plain(const Osnova& doc) {
  auto plain = std::make_unique<Osnova>(doc.Numerator, static_cast<uint16_t>(doc.Bars.size()), 4);
  for (std::size_t b = 0; b < doc.Bars.size(); ++b) {
    TBar& bar = plain->EditBar(static_cast<int>(b));
    bar.CopyContentFrom(*doc.Bars[b]);
    bar.FootNotes = 0;
    bar.Sticking.fill(0);
    bar.Grid = BarGrid::Sixteenths;
    for (auto& row : bar.Rows)
      for (auto& cell : row.Cells) {
        cell.Ghost = 0;
        cell.Style = 0;
      }
  }
  plain->Kit = doc.Kit;
  return plain;
}

}  // namespace expressive_song
