// The tab document: one song in memory, its bars, notes, comments and song parts.
// Texts are Windows-1252 byte strings (the code page of the tab files).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/bar_array.h"
#include "model/time_feel.h"

constexpr int kRowCount = 9;          // row 0 is the counting line, rows 1..8 instruments
constexpr int kMaxPositions = 64;     // sixteenth positions a bar can hold
constexpr int kMaxBarCount = 65535;   // BarCount is 16 bits
constexpr int kMaxTempo = 1024;       // song and playback tempos are 1..kMaxTempo bpm
constexpr std::size_t kInfoTextLength = 50;
constexpr std::size_t kPartNameLength = 30;

enum Row : int {
  RowCount = 0, RowCymbals = 1, RowRide = 2, RowHiHat = 3, RowTom1 = 4,
  RowTom2 = 5, RowFloor = 6, RowSnare = 7, RowBass = 8
};

// Eight-character view and export labels, by row.
extern const std::array<const char*, kRowCount> kRowLabels;

// How a note is struck besides its variant. The bar blocks of the tab file hold only Variant and
// Accent; these travel in the file's extension block (files/tab_file_extension.h).
enum class NoteStyle : uint8_t { None = 0, Flam = 1, Drag = 2, Roll = 3, Choke = 4, Bell = 5 };
constexpr int kNoteStyleCount = 6;

struct TNoteCell {
  uint8_t Variant = 255;  // 255 = no note
  uint8_t Accent = 0;     // 0 or 1
  uint8_t Ghost : 1 = 0;  // never together with Accent
  uint8_t Style : 3 = 0;  // a NoteStyle
  bool operator==(const TNoteCell&) const = default;
  bool Plain() const { return Ghost == 0 && Style == 0; }
};

// The bits of positions 0..length-1 of a row (length 0..64).
inline uint64_t PositionsBelow(int length) {
  return length >= 64 ? ~uint64_t{0} : length <= 0 ? 0 : (uint64_t{1} << length) - 1;
}

struct TNoteRow {
  uint64_t Notes = 0;  // bit p set = position p holds a note
  std::array<TNoteCell, kMaxPositions> Cells{};

  bool Has(int p) const { return p >= 0 && p < kMaxPositions && ((Notes >> p) & 1u); }
  void Set(int p, uint8_t variant, uint8_t accent) {
    Notes |= uint64_t{1} << p;
    Cells[p] = TNoteCell{variant, accent};
  }
  void Remove(int p) {
    Notes &= ~(uint64_t{1} << p);
    Cells[p] = TNoteCell{};
  }
  void Clear() {
    Notes = 0;
    Cells.fill(TNoteCell{});
  }
  bool operator==(const TNoteRow&) const = default;
};

class TBar {
 public:
  uint8_t Length = 16;  // cells of Grid
  uint8_t Denominator = 4;
  BarGrid Grid = BarGrid::Sixteenths;
  // Layout cache, written by the tab view whenever the bar is drawn. Not part of the song: a bar
  // shared with undo snapshots is drawn without being copied, and a restored snapshot is laid
  // out again before anything reads these. A bar's place in the song is its index in Bars.
  mutable uint8_t StartCol = 0;
  mutable uint8_t EndCol = 0;
  mutable uint8_t ViewLine = 0;
  mutable uint8_t SlotInLine = 0;
  std::array<TNoteRow, kRowCount> Rows{};
  std::string Comment;
  // The hi-hat played with the foot, on a line of its own: it sounds together with whatever the
  // hands play on the hi-hat row. Bit p = position p.
  uint64_t FootNotes = 0;
  // The sticking line: 'R', 'L', 'B' (both hands) or 0 per position.
  std::array<char, kMaxPositions> Sticking{};

  // True when the bar uses anything the plain bar blocks of the tab file cannot hold.
  bool HasExpression() const;
  bool HasExtension() const { return Grid != BarGrid::Sixteenths || HasExpression(); }

  TBar(uint8_t denominator, uint8_t numerator);
  void Reset(uint8_t numerator, uint8_t denominator);
  // Takes Length, Denominator, Grid, Rows and Comment; never the layout fields.
  void CopyContentFrom(const TBar& other);
  // Notes at or beyond Length (a timing change keeps them): the file and undo hold none.
  bool HasHiddenNotes() const;
  void DropHiddenNotes();

  static void* operator new(std::size_t size);
  static void operator delete(void* storage, std::size_t size) noexcept;
};


// A bar for a BarArray, from the bar storage pool (model/bar_storage.h).
inline std::shared_ptr<TBar> NewBar(uint8_t denominator, uint8_t numerator) {
  return std::shared_ptr<TBar>(new TBar(denominator, numerator));
}

struct TSongPart {
  int32_t StartBar = 0;
  std::string Name;  // at most kPartNameLength bytes; use SetName
  void SetName(std::string_view name) { Name = std::string(name.substr(0, kPartNameLength)); }
  bool operator==(const TSongPart&) const = default;
};

class Osnova {
 public:
  std::array<uint8_t, kRowCount> Kit{};
  BarArray Bars;
  uint8_t Numerator = 4;
  uint16_t BarCount = 0;
  uint16_t Tempo = 120;
  SongSwing Swing;  // saved in the tab file's extension block
  uint16_t CurrentBar = 0;
  uint16_t FirstVisibleBar = 0;
  uint16_t LastVisibleBar = 0;
  bool Modified = false;
  bool HasFile = false;
  std::array<uint8_t, kRowCount> LineOfRow{};
  std::vector<TSongPart> SongParts;
  std::string FileName = "Unnamed";
  std::string Artist, Song, Album, Drummer, TabAuthor, Email;

  // barCount 1..65535; every bar gets the given timing and its own index.
  Osnova(uint8_t numerator, uint16_t barCount, uint8_t denominator);

  // Reading never copies; a bar to change is asked for with EditBar, which un-shares it from the
  // undo snapshots (model/bar_array.h).
  const TBar& Bar(int index) const { return *Bars[static_cast<std::size_t>(index)]; }
  const TBar& Current() const { return Bar(CurrentBar); }
  TBar& EditBar(int index) { return Bars.Edit(static_cast<std::size_t>(index)); }
  TBar& EditCurrent() { return EditBar(CurrentBar); }
};

// Cuts a song-information text to its field length.
std::string InfoText(std::string_view text);

// Which rows a kit shows and plays (1 = shown); a new document and the program start with all.
using KitRows = std::array<uint8_t, kRowCount>;
inline constexpr KitRows kFullKit = {1, 1, 1, 1, 1, 1, 1, 1, 1};

char NoteLetter(int row, uint8_t variant, uint8_t accent);
uint8_t LengthFromTiming(int numerator, int denominator);
uint8_t NumeratorFromLength(int length, int denominator);
uint8_t DenominatorIndex(int denominator);
bool ColumnHasNote(const TBar& bar, int position);
int NoteCount(const TNoteRow& row, int length);
int ShownInstrumentRows(const Osnova& doc);
void RecomputeLineOfRow(Osnova& doc);
