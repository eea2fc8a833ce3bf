#include "files/notation_rhythm.h"

#include <algorithm>

#include "model/tab_document.h"

namespace {

bool Has(uint64_t onsets, int p) { return p >= 0 && p < 64 && ((onsets >> p) & 1u); }

int Span(const std::vector<int>& groups) {
  int total = 0;
  for (int g : groups) total += g;
  return total;
}

// Rests from `from` to `to` inside the group that starts at `groupStart`: a whole group in one rest
// where one value fills it, else the rests a reader counts by: sixteenths off the eighth, eighths
// off the beat, quarters on it.
void AddRests(std::vector<RhythmItem>& items, int from, int to, int groupStart, int groupSize) {
  while (from < to) {
    const int offset = from - groupStart;
    const int left = to - from;
    int value;
    if (offset == 0 && left == groupSize && (groupSize == 2 || groupSize == 3 || groupSize == 4 || groupSize == 6))
      value = groupSize;
    else if (offset % 2 == 1)
      value = 1;
    else if (left >= 4 && offset % 4 == 0)
      value = 4;
    else if (left >= 2)
      value = 2;
    else
      value = 1;
    items.push_back({from, value, true, false, {}});
    from += value;
  }
}

// The longest value a note can be written with in `available` sixteenths.
int NoteLength(int available) {
  for (int value : {6, 4, 3, 2, 1})
    if (value <= available) return value;
  return 1;
}

// Beams join the eighths and shorter notes of a beat that follow each other without a rest.
void BeamGroup(std::vector<RhythmItem>& items, std::size_t first, std::size_t last) {
  std::size_t i = first;
  while (i < last) {
    if (items[i].Rest || items[i].Sixteenths >= 4) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < last && !items[end].Rest && items[end].Sixteenths < 4) ++end;
    if (end - i >= 2) {
      for (std::size_t k = i; k < end; ++k) {
        items[k].Beams[0] = k == i ? Beam::Begin : k + 1 == end ? Beam::End : Beam::Continue;
        if (items[k].Sixteenths != 1) continue;
        const bool left = k > i && items[k - 1].Sixteenths == 1;
        const bool right = k + 1 < end && items[k + 1].Sixteenths == 1;
        items[k].Beams[1] = left && right ? Beam::Continue
                            : right       ? Beam::Begin
                            : left        ? Beam::End
                            : k == i      ? Beam::ForwardHook
                                          : Beam::BackwardHook;
      }
    }
    i = end;
  }
}

constexpr int64_t kThirtySecondUnits = kUnitsPerQuarter / 8;

bool Writable32nds(int64_t value) {
  for (int v : {1, 2, 3, 4, 6, 8, 12, 16, 24, 32})
    if (value == v) return true;
  return false;
}

int Flags(int written) { return written >= 8 ? 0 : written >= 4 ? 1 : written >= 2 ? 2 : 3; }

// Beams of the notes of one beat, at every level their values have.
void BeamGridGroup(std::vector<GridRhythmItem>& items, std::size_t first, std::size_t last) {
  std::size_t i = first;
  while (i < last) {
    if (items[i].Rest || Flags(items[i].Written) == 0) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < last && !items[end].Rest && Flags(items[end].Written) > 0) ++end;
    if (end - i >= 2) {
      for (std::size_t k = i; k < end; ++k) {
        items[k].Beams[0] = k == i ? Beam::Begin : k + 1 == end ? Beam::End : Beam::Continue;
        for (int level = 2; level <= Flags(items[k].Written); ++level) {
          const bool left = k > i && Flags(items[k - 1].Written) >= level;
          const bool right = k + 1 < end && Flags(items[k + 1].Written) >= level;
          items[k].Beams[static_cast<std::size_t>(level - 1)] = left && right ? Beam::Continue
                                                                : right       ? Beam::Begin
                                                                : left        ? Beam::End
                                                                : k == i      ? Beam::ForwardHook
                                                                              : Beam::BackwardHook;
        }
      }
    }
    i = end;
  }
}

// One beat of `size` cells from `start`: the coarsest step (a run of cells) that every note of
// the beat starts on, written plain where the step is a plain value, else as a triplet.
void AddGridBeat(std::vector<GridRhythmItem>& items, uint64_t onsets, BarGrid grid, int start, int size) {
  const int64_t cell = CellUnits(grid);
  const bool triplets = !GridSwings(grid);  // straight grids are never written as tuplets
  int step = 1, actual = 1, normal = 1;
  int64_t written = 0;
  for (int s = size; s >= 1 && written == 0; --s) {
    if (size % s) continue;
    bool on = true;
    for (int p = start; p < start + size && on; ++p)
      if (p < 64 && ((onsets >> p) & 1u) && (p - start) % s) on = false;
    if (!on) continue;
    const int64_t units = s * cell;
    if (units % kThirtySecondUnits == 0 && Writable32nds(units / kThirtySecondUnits)) {
      step = s;
      written = units / kThirtySecondUnits;
    } else if (triplets && (size / s) % 3 == 0 && (units * 3) % (2 * kThirtySecondUnits) == 0 &&
               Writable32nds(units * 3 / (2 * kThirtySecondUnits))) {
      step = s;
      written = units * 3 / (2 * kThirtySecondUnits);
      actual = size / s;
      normal = actual * 2 / 3;
    }
  }
  if (written == 0) written = std::max<int64_t>(1, cell / kThirtySecondUnits);  // a bar no grid holds
  const std::size_t first = items.size();
  const int steps = size / step;
  // The longest writable run of steps from `k` up to `limit`.
  auto longest = [&](int k, int limit) {
    int n = limit - k;
    while (n > 1 && !Writable32nds(n * written)) --n;
    return n;
  };
  for (int k = 0; k < steps;) {
    int next = k + 1;
    const auto noteAt = [&](int j) {
      const int p = start + j * step;
      return p < 64 && ((onsets >> p) & 1u);
    };
    while (next < steps && !noteAt(next)) ++next;
    bool rest = !noteAt(k);
    for (int at = k; at < next;) {
      const int n = longest(at, next);
      GridRhythmItem item;
      item.Start = start + at * step;
      item.Cells = n * step;
      item.Written = static_cast<int>(n * written);
      item.Rest = rest;
      item.Actual = actual;
      item.Normal = normal;
      items.push_back(item);
      rest = true;
      at += n;
    }
    k = next;
  }
  if (actual != normal) {
    items[first].TupletStart = true;
    items.back().TupletStop = true;
  }
  BeamGridGroup(items, first, items.size());
}

}  // namespace

Meter MeterOf(int lengthSixteenths, int denominator) {
  if ((denominator == 4 || denominator == 8 || denominator == 16) && lengthSixteenths * denominator % 16 == 0)
    return {lengthSixteenths * denominator / 16, denominator};
  return {lengthSixteenths, 16};
}

std::vector<int> BeatGroups(const Meter& meter) {
  std::vector<int> groups;
  const int n = meter.Beats;
  if (meter.BeatType == 4) {
    groups.assign(static_cast<std::size_t>(n), 4);
  } else if (meter.BeatType == 8) {
    if (n % 3 == 0) {
      groups.assign(static_cast<std::size_t>(n / 3), 6);
    } else if (n % 2 == 0 || n == 1) {
      groups.assign(static_cast<std::size_t>(n / 2), 4);
      if (n == 1) groups.push_back(2);
    } else {
      groups.assign(static_cast<std::size_t>((n - 3) / 2), 4);
      groups.push_back(6);
    }
  } else {
    groups.assign(static_cast<std::size_t>(n / 4), 4);
    const int rest = n % 4;
    if (rest == 1 && !groups.empty())
      groups.back() += 1;
    else if (rest > 0)
      groups.push_back(rest);
  }
  return groups;
}

std::vector<RhythmItem> VoiceRhythm(uint64_t onsets, const Meter& meter) {
  const std::vector<int> groups = BeatGroups(meter);
  const int length = Span(groups);
  onsets &= PositionsBelow(length);
  std::vector<RhythmItem> items;
  if (onsets == 0) {
    items.push_back({0, length, true, true, {}});
    return items;
  }
  int start = 0;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const int size = groups[g];
    const int end = start + size;
    const std::size_t first = items.size();
    const bool empty = (onsets >> start & ((uint64_t{1} << size) - 1)) == 0;
    // Two silent quarter beats from the bar's start or middle read best as one half rest.
    if (empty && meter.BeatType == 4 && start % 8 == 0 && g + 1 < groups.size() &&
        (onsets >> end & 0xF) == 0) {
      items.push_back({start, 8, true, false, {}});
      start = end + 4;
      ++g;
      continue;
    }
    int at = start;
    while (at < end) {
      int next = at + 1;
      while (next < end && !Has(onsets, next)) ++next;
      if (Has(onsets, at)) {
        const int value = NoteLength(next - at);
        items.push_back({at, value, false, false, {}});
        AddRests(items, at + value, next, start, size);
      } else {
        AddRests(items, at, next, start, size);
      }
      at = next;
    }
    BeamGroup(items, first, items.size());
    start = end;
  }
  return items;
}

NoteValue NoteValueOf(int sixteenths) {
  switch (sixteenths) {
    case 1: return {"16th", 0};
    case 2: return {"eighth", 0};
    case 3: return {"eighth", 1};
    case 4: return {"quarter", 0};
    case 6: return {"quarter", 1};
    case 8: return {"half", 0};
    case 12: return {"half", 1};
    case 16: return {"whole", 0};
    default: return {"whole", 1};  // 24
  }
}

std::vector<GridRhythmItem> GridVoiceRhythm(uint64_t onsets, BarGrid grid, int length, const Meter& meter) {
  onsets &= PositionsBelow(length);
  std::vector<GridRhythmItem> items;
  if (onsets == 0) {
    GridRhythmItem rest;
    rest.Cells = length;
    rest.Rest = rest.WholeBar = true;
    items.push_back(rest);
    return items;
  }
  // Beats: the meter's groups for 32nds (two cells a sixteenth), quarters for the other grids,
  // whatever is left at the end as one more.
  std::vector<int> beats;
  if (grid == BarGrid::ThirtySeconds || grid == BarGrid::Sixteenths) {
    const int perSixteenth = grid == BarGrid::ThirtySeconds ? 2 : 1;
    for (int size : BeatGroups(meter)) beats.push_back(size * perSixteenth);
  } else {
    for (int left = length; left > 0; left -= CellsPerQuarter(grid))
      beats.push_back(std::min(left, CellsPerQuarter(grid)));
  }
  int start = 0;
  for (int size : beats) {
    size = std::min(size, length - start);
    if (size <= 0) break;
    AddGridBeat(items, onsets, grid, start, size);
    start += size;
  }
  if (start < length) AddGridBeat(items, onsets, grid, start, length - start);
  return items;
}

NoteValue NoteValueOf32nds(int thirtySeconds) {
  switch (thirtySeconds) {
    case 1: return {"32nd", 0};
    case 2: return {"16th", 0};
    case 3: return {"16th", 1};
    case 4: return {"eighth", 0};
    case 6: return {"eighth", 1};
    case 8: return {"quarter", 0};
    case 12: return {"quarter", 1};
    case 16: return {"half", 0};
    case 24: return {"half", 1};
    default: return {"whole", 0};  // 32
  }
}
