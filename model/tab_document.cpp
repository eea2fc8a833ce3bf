#include "model/tab_document.h"

#include <bit>

#include "model/bar_storage.h"

const std::array<const char*, kRowCount> kRowLabels = {
    "  Count:", "Cymbals:", "   Ride:", " Hi-Hat:", "   Tom1:",
    "   Tom2:", "  Floor:", "  Snare:", "   Bass:"};


TBar::TBar(uint8_t denominator, uint8_t numerator)
    : Length(LengthFromTiming(numerator, denominator)), Denominator(denominator) {}

void TBar::Reset(uint8_t numerator, uint8_t denominator) {
  Length = LengthFromTiming(numerator, denominator);
  Denominator = denominator;
  Grid = BarGrid::Sixteenths;
  Comment.clear();
  for (auto& row : Rows) row.Clear();
  FootNotes = 0;
  Sticking.fill(0);
}

void TBar::CopyContentFrom(const TBar& other) {
  Length = other.Length;
  Denominator = other.Denominator;
  Grid = other.Grid;
  Rows = other.Rows;
  Comment = other.Comment;
  FootNotes = other.FootNotes;
  Sticking = other.Sticking;
}

bool TBar::HasExpression() const {
  if (FootNotes != 0) return true;
  for (char s : Sticking)
    if (s) return true;
  for (const TNoteRow& row : Rows) {
    for (uint64_t set = row.Notes; set; set &= set - 1)
      if (!row.Cells[static_cast<std::size_t>(std::countr_zero(set))].Plain()) return true;
  }
  return false;
}

namespace {
uint64_t BeyondLength(int length) { return length >= 64 ? 0 : ~uint64_t{0} << length; }
}  // namespace

bool TBar::HasHiddenNotes() const {
  const uint64_t beyond = BeyondLength(Length);
  for (const TNoteRow& row : Rows)
    if (row.Notes & beyond) return true;
  if (FootNotes & beyond) return true;
  for (int p = Length; p < kMaxPositions; ++p)
    if (Sticking[static_cast<std::size_t>(p)]) return true;
  return false;
}

void TBar::DropHiddenNotes() {
  for (TNoteRow& row : Rows)
    for (int p = Length; p < kMaxPositions; ++p)
      if (row.Has(p)) row.Remove(p);
  FootNotes &= ~BeyondLength(Length);
  for (int p = Length; p < kMaxPositions; ++p) Sticking[static_cast<std::size_t>(p)] = 0;
}

void* TBar::operator new(std::size_t size) { return AllocateBarStorage(size); }

void TBar::operator delete(void* storage, std::size_t size) noexcept {
  ReleaseBarStorage(storage, size);
}

Osnova::Osnova(uint8_t numerator, uint16_t barCount, uint8_t denominator)
    : Kit(kFullKit), Numerator(numerator), BarCount(barCount) {
  for (uint16_t i = 0; i < barCount; ++i) Bars.push_back(NewBar(denominator, numerator));
  RecomputeLineOfRow(*this);
}

std::string InfoText(std::string_view text) {
  return std::string(text.substr(0, kInfoTextLength));
}

char NoteLetter(int row, uint8_t variant, uint8_t accent) {
  if (variant == 255) return '?';
  char letter;
  switch (row) {
    case RowCymbals: letter = variant == 0 ? 'x' : variant == 1 ? 's' : 'c'; break;
    case RowRide: letter = 'x'; break;
    case RowHiHat: letter = variant == 0 ? 'x' : 'o'; break;
    case RowTom1: case RowTom2: case RowFloor: case RowBass: letter = 'o'; break;
    case RowSnare: letter = variant == 0 ? 'o' : 'x'; break;
    default: return '?';
  }
  return accent ? static_cast<char>(letter - 'a' + 'A') : letter;
}

uint8_t LengthFromTiming(int numerator, int denominator) {
  switch (denominator) {
    case 4: return static_cast<uint8_t>(numerator * 4);
    case 8: return static_cast<uint8_t>(numerator * 2);
    case 16: return static_cast<uint8_t>(numerator);
    default: return 0;
  }
}

uint8_t NumeratorFromLength(int length, int denominator) {
  switch (denominator) {
    case 4: return static_cast<uint8_t>(length / 4);
    case 8: return static_cast<uint8_t>(length / 2);
    case 16: return static_cast<uint8_t>(length);
    default: return 0;
  }
}

uint8_t DenominatorIndex(int denominator) {
  switch (denominator) {
    case 4: return 0;
    case 8: return 1;
    case 16: return 2;
    default: return 255;
  }
}

bool ColumnHasNote(const TBar& bar, int position) {
  for (int r = RowBass; r >= RowCymbals; --r)
    if (bar.Rows[r].Has(position)) return true;
  return false;
}

int NoteCount(const TNoteRow& row, int length) {
  return std::popcount(row.Notes & PositionsBelow(length));
}

int ShownInstrumentRows(const Osnova& doc) {
  int n = 0;
  for (int r = RowCymbals; r <= RowBass; ++r)
    if (doc.Kit[r]) ++n;
  return n;
}

void RecomputeLineOfRow(Osnova& doc) {
  uint8_t next = 0;
  for (int r = 0; r < kRowCount; ++r)
    if (doc.Kit[r]) doc.LineOfRow[r] = next++;
}
