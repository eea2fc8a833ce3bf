#include "model/time_feel.h"

#include <array>
#include <cstdio>

#include "model/tab_document.h"

int CellsPerQuarter(BarGrid grid) {
  switch (grid) {
    case BarGrid::ThirtySeconds: return 8;
    case BarGrid::EighthTriplets: return 3;
    case BarGrid::SixteenthTriplets: return 6;
    case BarGrid::Mixed: return 12;
    case BarGrid::Sixteenths: break;
  }
  return 4;
}

const char* GridName(BarGrid grid) {
  switch (grid) {
    case BarGrid::ThirtySeconds: return "32nds";
    case BarGrid::EighthTriplets: return "8th triplets";
    case BarGrid::SixteenthTriplets: return "16th triplets";
    case BarGrid::Mixed: return "16ths + triplets";
    case BarGrid::Sixteenths: break;
  }
  return "16ths";
}

uint8_t GridLength(int numerator, int denominator, BarGrid grid) {
  if (numerator < 1 || (denominator != 4 && denominator != 8 && denominator != 16)) return 0;
  // numerator notes of 1/denominator, each 4/denominator quarters.
  const int cells = numerator * 4 * CellsPerQuarter(grid);
  if (cells % denominator != 0 || cells / denominator > kMaxPositions) return 0;
  return static_cast<uint8_t>(cells / denominator);
}

uint8_t GridNumerator(int length, int denominator, BarGrid grid) {
  if (length < 1 || (denominator != 4 && denominator != 8 && denominator != 16)) return 0;
  const int perQuarter = CellsPerQuarter(grid);
  const int scaled = length * denominator;
  if (scaled % (4 * perQuarter) != 0) return 0;
  return static_cast<uint8_t>(scaled / (4 * perQuarter));
}

int RegridPosition(BarGrid from, BarGrid to, int position) {
  const int64_t units = position * CellUnits(from);
  return units % CellUnits(to) == 0 ? static_cast<int>(units / CellUnits(to)) : -1;
}

std::string GridCountLabel(BarGrid grid, int position) {
  const int perQuarter = CellsPerQuarter(grid);
  const int inBeat = position % perQuarter;
  if (inBeat == 0) return std::to_string(position / perQuarter + 1);
  switch (grid) {
    case BarGrid::Sixteenths: return inBeat == 1 ? "e" : inBeat == 2 ? "+" : "a";
    case BarGrid::ThirtySeconds:
      if (inBeat % 2) return {};
      return inBeat == 2 ? "e" : inBeat == 4 ? "+" : "a";
    case BarGrid::EighthTriplets: return inBeat == 1 ? "+" : "a";
    case BarGrid::SixteenthTriplets: {
      static const std::array<const char*, 6> k = {"", "t", "l", "+", "t", "l"};
      return k[static_cast<std::size_t>(inBeat)];
    }
    case BarGrid::Mixed: {
      static const std::array<const char*, 12> k = {"", "", "", "e", "t", "", "+", "", "l", "a", "", ""};
      return k[static_cast<std::size_t>(inBeat)];
    }
  }
  return {};
}

std::string SwingText(const SongSwing& swing) {
  if (!swing.On()) return {};
  return std::to_string(swing.Percent) + (swing.Unit == SwingUnit::Eighths ? "% 8ths" : "% 16ths");
}

bool ParseSwing(const std::string& text, SongSwing& swing) {
  int percent = -1;
  char unit[8] = {};
  int used = 0;
  if (std::sscanf(text.c_str(), " %d%% %7s %n", &percent, unit, &used) != 2) return false;
  if (static_cast<std::size_t>(used) != text.size() || percent < 0 || percent > kMaxSwingPercent) return false;
  const std::string u = unit;
  if (u != "8ths" && u != "16ths") return false;
  swing.Percent = static_cast<uint8_t>(percent);
  swing.Unit = u == "8ths" ? SwingUnit::Eighths : SwingUnit::Sixteenths;
  return true;
}

int64_t SwungUnits(int64_t straight, const SongSwing& swing) {
  if (!swing.On() || straight < 0) return straight;
  const int64_t pair = swing.Unit == SwingUnit::Eighths ? kUnitsPerQuarter : kUnitsPerQuarter / 2;
  const int64_t half = pair / 2;
  const int64_t off = half + pair * swing.Percent / 200;  // where the pair's second note lands
  const int64_t start = straight / pair * pair;
  const int64_t t = straight - start;
  if (t <= half) return start + (t * off + half / 2) / half;
  return start + off + ((t - half) * (pair - off) + half / 2) / (pair - half);
}

int64_t PositionUnits(const TBar& bar, int position, const SongSwing& swing) {
  const int64_t straight = position * CellUnits(bar.Grid);
  if (!swing.On() || !GridSwings(bar.Grid)) return straight;
  // A pair the bar cuts short (the last eighth of a 7/8 bar) stays straight: it has no second note.
  const int64_t pair = swing.Unit == SwingUnit::Eighths ? kUnitsPerQuarter : kUnitsPerQuarter / 2;
  if (straight / pair * pair + pair > BarUnits(bar)) return straight;
  return SwungUnits(straight, swing);
}

int64_t BarUnits(const TBar& bar) { return bar.Length * CellUnits(bar.Grid); }
