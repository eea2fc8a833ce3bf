// Time feel: the grid a bar is written in and the song's swing, and the one place that turns a
// bar position into musical time. Playback, the audio and MIDI exports and the imports all take
// their times from here, so what is heard, exported and read back agrees.
//
// Musical time is counted in units of 1/4800 of a quarter note: every grid's cell is a whole number
// of units (a 32nd is 600, a sixteenth triplet 800, a cell of the mixed grid 400), and so is every
// position swung by a whole percent.
#pragma once

#include <cstdint>
#include <string>

class TBar;

inline constexpr int64_t kUnitsPerQuarter = 4800;

// The grid of a bar's cells. A bar's Length counts its cells; sixteenths are the plain bars.
enum class BarGrid : uint8_t {
  Sixteenths = 0,
  ThirtySeconds = 1,
  EighthTriplets = 2,
  SixteenthTriplets = 3,
  Mixed = 4,  // sixteenths and sixteenth triplets together: 12 cells a quarter
};
inline constexpr int kGridCount = 5;

int CellsPerQuarter(BarGrid grid);
inline int64_t CellUnits(BarGrid grid) { return kUnitsPerQuarter / CellsPerQuarter(grid); }
// "16ths", "32nds", "8th triplets", "16th triplets", "16ths + triplets".
const char* GridName(BarGrid grid);
// True for a value a file may hold.
inline bool ValidGrid(int grid) { return grid >= 0 && grid < kGridCount; }

// The cells of numerator/denominator in `grid`: 0 when the timing is no whole number of cells or
// more than a bar can hold (a 7/16 bar has no eighth-triplet grid).
uint8_t GridLength(int numerator, int denominator, BarGrid grid);
// The numerator `length` cells make over `denominator` in `grid`; 0 when no whole one does.
uint8_t GridNumerator(int length, int denominator, BarGrid grid);

// The cell of `grid` at the time of cell `position` of `from`; -1 when the new grid has no cell
// there (a triplet note in a sixteenth bar).
int RegridPosition(BarGrid from, BarGrid to, int position);

// What the counting line shows over a cell: the beat number on each beat, then the syllables
// drummers count: "e + a" (sixteenths; 32nds count them on every other cell), "+ a" (eighth
// triplets), "t l + t l" (sixteenth triplets), "e t + l a" (the mixed grid). Empty for a cell
// that is not counted aloud.
std::string GridCountLabel(BarGrid grid, int position);

// Swing delays the second note of each pair: of eighths (the pair is a quarter) or of sixteenths.
// Percent is of the pair's second half: 0 straight, 33 the triplet feel, 50 dotted.
enum class SwingUnit : uint8_t { Eighths = 0, Sixteenths = 1 };
inline constexpr int kMaxSwingPercent = 50;

struct SongSwing {
  uint8_t Percent = 0;
  SwingUnit Unit = SwingUnit::Eighths;
  bool On() const { return Percent > 0; }
  bool operator==(const SongSwing&) const = default;
};

// "Swing : 33% 8ths" for the text export, the header and the printed page; empty when straight.
std::string SwingText(const SongSwing& swing);
// Reads SwingText's value part ("33% 8ths", "25% 16ths"); false for anything else.
bool ParseSwing(const std::string& text, SongSwing& swing);

// Straight grids swing; triplet and mixed bars already say their feel and play as written.
inline bool GridSwings(BarGrid grid) {
  return grid == BarGrid::Sixteenths || grid == BarGrid::ThirtySeconds;
}

// The units from the bar's start to `position` (which may be the bar's Length: its end), swung
// where the bar's grid swings. Pairs count from the bar's start; a cell inside a half of a pair
// moves in proportion, so 32nds keep their order; a pair the bar's end cuts short stays straight.
int64_t PositionUnits(const TBar& bar, int position, const SongSwing& swing);
// The bar's length in units: Length cells of its grid.
int64_t BarUnits(const TBar& bar);
// `straight` units from a bar's start, swung.
int64_t SwungUnits(int64_t straight, const SongSwing& swing);

// Frames of 44.1 kHz audio for `units` at `centiBpm` hundredths of a quarter a minute, to the
// nearest frame (a sixteenth is 1200 units, so sixteenths fall where they always fell).
constexpr int64_t UnitsToFrames(int64_t units, int64_t centiBpm) {
  const int64_t c = centiBpm < 1 ? 1 : centiBpm;
  // 44100 frames x 60 s x 100 / 4800 units = 55125 per unit at 1 centi-bpm.
  const int64_t num = units * 2 * 55125;
  return num >= 0 ? (num + c) / (2 * c) : -((-num + c) / (2 * c));
}
