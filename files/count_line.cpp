#include "files/count_line.h"

std::string CountCells(BarGrid grid, int length, uint64_t shown) {
  std::string out;
  out.reserve(static_cast<std::size_t>(length) + 8);
  for (int p = 0; p < length; ++p) {
    const std::string label = p < 64 && ((shown >> p) & 1u) ? GridCountLabel(grid, p) : std::string();
    if (label.empty()) {
      out += ' ';
      continue;
    }
    out += label;
    if (grid != BarGrid::Sixteenths) p += static_cast<int>(label.size()) - 1;
  }
  if (grid != BarGrid::Sixteenths) out.resize(static_cast<std::size_t>(length), ' ');
  return out;
}

bool CountCellsFit(std::string_view written, BarGrid grid, int length, uint64_t noted) {
  std::size_t c = 0;
  int p = 0;
  for (; p < length && c < written.size();) {
    const std::string label = GridCountLabel(grid, p);
    if (written[c] == ' ') {
      if (!label.empty() && p < 64 && ((noted >> p) & 1u)) return false;
      ++c;
      ++p;
      continue;
    }
    if (label.empty() || written.substr(c, label.size()) != label) return false;
    c += label.size();
    p += grid == BarGrid::Sixteenths ? 1 : static_cast<int>(label.size());
  }
  // Cells past the written text are blank: none of them may need a label.
  for (; p < length; ++p)
    if (p < 64 && ((noted >> p) & 1u) && !GridCountLabel(grid, p).empty()) return false;
  for (; c < written.size(); ++c)
    if (written[c] != ' ') return false;
  return true;
}
