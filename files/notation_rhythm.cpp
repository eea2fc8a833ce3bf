#include "files/notation_rhythm.h"

#include <algorithm>

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
  if (length < 64) onsets &= (uint64_t{1} << length) - 1;
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
