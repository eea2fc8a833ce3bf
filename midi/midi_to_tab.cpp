#include "midi/midi_to_tab.h"

#include "model/expressive_notes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>

#include "midi/drum_map.h"

namespace {

struct KeyRow {
  int8_t Row = -1;
  uint8_t Variant = 0;
};

std::array<KeyRow, 128> BuildKeyRows() {
  std::array<KeyRow, 128> keys{};
  // General MIDI drum keys the map does not produce, each to the nearest row, and the keys
  // electronic kits send for the edges and rims of their pads (Roland, Alesis, Yamaha): the
  // hi-hat's edge to the closed or open hi-hat, a rim to its drum.
  const std::pair<uint8_t, KeyRow> others[] = {
      {35, {RowBass, 0}},   {40, {RowSnare, 0}}, {44, {RowHiHat, 0}},
      {51, {RowRide, 0}},   {53, {RowRide, 0}},  {57, {RowCymbals, 0}},
      {41, {RowFloor, 0}},  {45, {RowTom2, 0}},  {50, {RowTom1, 0}},
      {22, {RowHiHat, 0}},  // hi-hat edge, closed
      {26, {RowHiHat, 1}},  // hi-hat edge, open
      {23, {RowHiHat, 1}},  // hi-hat half open
      {21, {RowHiHat, 0}},  // hi-hat foot splash
      {58, {RowFloor, 0}},  // tom 3 (floor) rim
  };
  for (const auto& [key, row] : others) keys[key] = row;
  // The inverse of the program's own map wins: its keys read back to exactly the note played.
  const int variants[kRowCount] = {0, 3, 1, 2, 1, 1, 1, 2, 1};
  for (int row = RowCymbals; row <= RowBass; ++row)
    for (int v = 0; v < variants[row]; ++v)
      keys[DrumNoteOf(static_cast<uint8_t>(row), static_cast<uint8_t>(v))] =
          KeyRow{static_cast<int8_t>(row), static_cast<uint8_t>(v)};
  return keys;
}

// Sixteenth positions (quarter / 4) of a tick, to the nearest.
uint64_t Sixteenths(uint64_t tick, uint16_t division) {
  return (tick * 4 + division / 2) / division;
}

std::string ListOf(const std::vector<int>& values) {
  std::string text;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) text += i + 1 == values.size() ? " and " : ", ";
    text += std::to_string(values[i]);
  }
  return text;
}

struct Meter {
  int Length;  // sixteenths in one bar of this meter
  uint8_t Denominator;
};

Meter MeterOf(const MidiTimeSignature& sig) {
  const int denominator = 1 << sig.DenominatorPower;
  const int length = std::max(1, (sig.Numerator * 16 + denominator - 1) / denominator);
  uint8_t shown = DenominatorForLength(std::min(length, kMaxPositions));
  if ((denominator == 8 || denominator == 16) && length <= kMaxPositions &&
      length * denominator == sig.Numerator * 16)
    shown = static_cast<uint8_t>(denominator);
  return {length, shown};
}

// A note's time within the bar it is read into, in units (1/4800 quarter) from the bar's start.
struct TimedNote {
  std::size_t Note;  // index in the file's notes
  std::size_t Bar;
  double Offset;
};

// The cell nearest to `offset` among the cells of `times` (their start times, the bar's end last).
std::size_t NearestCell(const std::vector<double>& times, double offset) {
  auto after = std::lower_bound(times.begin(), times.end(), offset);
  if (after == times.begin()) return 0;
  if (after == times.end()) return times.size() - 1;
  const auto at = static_cast<std::size_t>(after - times.begin());
  return offset - times[at - 1] <= times[at] - offset ? at - 1 : at;
}

// The start of each of `cells` cells of a bar in `grid` played with `swing`, the bar's end last.
std::vector<double> CellTimes(BarGrid grid, int cells, const SongSwing& swing) {
  TBar shape(4, 4);
  shape.Grid = grid;
  shape.Length = static_cast<uint8_t>(cells);
  std::vector<double> times;
  for (int p = 0; p <= cells; ++p) times.push_back(static_cast<double>(PositionUnits(shape, p, swing)));
  return times;
}

// Swing shows as the second note of each pair (of eighths, else of sixteenths) landing late by
// the same amount all through the song. Offsets are measured in pairs from each bar's start, as
// playback swings them. The delay is the median of the notes in the second half of a pair (up to
// a dotted rhythm's), and must be later than the tolerance and no straight sixteenth: a 50 %
// eighth swing is a dotted rhythm, written as plain sixteenths. The song swings when at least four
// notes give the delay and more than half of the bars with notes off the pairs' first notes are
// steady: every note within the tolerance of a 32nd swung by that delay, one of them a pair's
// swung second note.
SongSwing DetectSwing(const std::vector<TimedNote>& notes, const std::vector<double>& barUnits,
                      double tolerance) {
  std::vector<std::vector<const TimedNote*>> inBar(barUnits.size());
  for (const TimedNote& n : notes) inBar[n.Bar].push_back(&n);
  for (const SwingUnit unit : {SwingUnit::Eighths, SwingUnit::Sixteenths}) {
    const double pair = unit == SwingUnit::Eighths ? kUnitsPerQuarter : kUnitsPerQuarter / 2;
    const double half = pair / 2;
    auto phaseOf = [&](const TimedNote& n) { return n.Offset - std::floor(n.Offset / pair) * pair; };
    std::vector<double> offbeats;
    for (const TimedNote& n : notes) {
      const double start = std::floor(n.Offset / pair) * pair;
      if (start + pair > barUnits[n.Bar] + tolerance) continue;  // a pair the bar cuts short
      const double phase = phaseOf(n);
      if (phase > half - tolerance && phase <= half + pair / 4 + tolerance) offbeats.push_back(phase);
    }
    if (offbeats.size() < 4) continue;
    std::nth_element(offbeats.begin(), offbeats.begin() + static_cast<std::ptrdiff_t>(offbeats.size() / 2),
                     offbeats.end());
    const double median = offbeats[offbeats.size() / 2];
    const double delay = median - half;
    if (delay <= tolerance || (unit == SwingUnit::Eighths && std::abs(median - 0.75 * pair) <= tolerance))
      continue;
    SongSwing swing;
    swing.Unit = unit;
    swing.Percent = static_cast<uint8_t>(std::clamp<long>(std::lround(delay * 200 / pair), 1, kMaxSwingPercent));

    int steady = 0, unsteady = 0;
    const auto step = static_cast<double>(CellUnits(BarGrid::ThirtySeconds));
    for (std::size_t b = 0; b < inBar.size(); ++b) {
      if (inBar[b].empty()) continue;
      const std::vector<double> times =
          CellTimes(BarGrid::ThirtySeconds, static_cast<int>(std::lround(barUnits[b] / step)), swing);  // up to 128 cells
      bool off = false, fits = true, second = false;
      for (const TimedNote* n : inBar[b]) {
        const double phase = phaseOf(*n);
        off = off || (phase > tolerance && phase < pair - tolerance);
        const std::size_t cell = NearestCell(times, n->Offset);
        if (std::abs(times[cell] - n->Offset) > tolerance) fits = false;
        second = second || std::fmod(static_cast<double>(cell) * step, pair) == half;
      }
      if (off) ++(fits && second ? steady : unsteady);
    }
    if (steady > unsteady) return swing;
  }
  return {};
}

}  // namespace

bool DrumRowOfKey(uint8_t key, int& row, uint8_t& variant) {
  static const std::array<KeyRow, 128> keys = BuildKeyRows();
  if (key >= 128 || keys[key].Row < 0) return false;
  row = keys[key].Row;
  variant = keys[key].Variant;
  return true;
}

ImportResult MidiToTab(const MidiFileContents& file, int channel,
                       std::vector<int>* channelsWithNotes, int maxBars) {
  ImportResult result;
  // The song ends with the last note it can show: notes on keys without a row make no bars.
  uint64_t lastPosition = 0;
  bool any = false, anyMapped = false;
  std::array<bool, 17> used{};
  std::map<int, int> unmapped;  // key -> notes
  int unmappedNotes = 0;
  for (const MidiNoteOn& note : file.Notes) {
    used[note.Channel] = true;
    if (note.Channel != channel) continue;
    any = true;
    int row = 0;
    uint8_t variant = 0;
    if (!DrumRowOfKey(note.Key, row, variant)) {
      ++unmapped[note.Key];
      ++unmappedNotes;
      continue;
    }
    anyMapped = true;
    lastPosition = std::max(lastPosition, Sixteenths(note.Tick, file.Division));
  }
  const std::string none = "No drum notes found on MIDI channel " + std::to_string(channel);
  std::string unmappedText;
  if (unmappedNotes > 0) {
    std::vector<int> keys;
    for (const auto& [key, count] : unmapped) keys.push_back(key);
    unmappedText = std::to_string(unmappedNotes) + (unmappedNotes == 1 ? " note" : " notes") +
                   " on drum keys without a row in the tab (key" + (keys.size() > 1 ? "s " : " ") +
                   ListOf(keys) + ")";
  }
  if (!any) {
    std::vector<int> others;
    for (int c = 1; c <= 16; ++c)
      if (used[static_cast<std::size_t>(c)]) others.push_back(c);
    result.Error = none + ".";
    if (!others.empty())
      result.Error += std::string(" The file has notes on channel") +
                      (others.size() > 1 ? "s " : " ") + ListOf(others) + ".";
    if (channelsWithNotes) *channelsWithNotes = std::move(others);
    return result;
  }
  if (!anyMapped) {
    result.Error = none + ": it has only " + unmappedText + ".";
    return result;
  }
  // Bars: the meter of the latest time signature (4/4 before the first); a signature that falls
  // inside a bar ends that bar early, so the bars after it stand where the file has them. They
  // are laid out first and made only once a note is known to land in them, so a file whose notes
  // lie far out is answered without building tens of thousands of bars.
  struct Layout {
    uint8_t Length, Denominator;
  };
  std::vector<Layout> layout;
  std::vector<uint64_t> starts;
  Meter meter{16, 4};
  std::size_t next = 0;
  uint64_t position = 0, measureEnd = 0;
  bool split = false, cut = false;
  while (position <= lastPosition) {
    if (layout.size() == static_cast<std::size_t>(maxBars)) {
      cut = true;
      break;
    }
    bool changed = false;
    while (next < file.TimeSignatures.size() &&
           Sixteenths(file.TimeSignatures[next].Tick, file.Division) <= position) {
      meter = MeterOf(file.TimeSignatures[next++]);
      changed = true;
    }
    if (changed || position >= measureEnd)
      measureEnd = position + static_cast<uint64_t>(meter.Length);
    uint64_t end = measureEnd;
    if (next < file.TimeSignatures.size())
      end = std::min(end, Sixteenths(file.TimeSignatures[next].Tick, file.Division));
    if (end - position > static_cast<uint64_t>(kMaxPositions)) {
      split = true;  // a measure of more than 64 sixteenths goes into several bars
      end = position + kMaxPositions;
    }
    const int length = static_cast<int>(end - position);
    layout.push_back({static_cast<uint8_t>(length),
                      length == meter.Length ? meter.Denominator : DenominatorForLength(length)});
    starts.push_back(position);
    position = end;
  }
  // Where a note lands: its bar and position, or nothing beyond the last bar kept.
  auto land = [&](const MidiNoteOn& note, std::size_t& index, uint64_t& p) {
    const uint64_t at = Sixteenths(note.Tick, file.Division);
    auto bar = std::upper_bound(starts.begin(), starts.end(), at);
    if (bar == starts.begin()) return false;
    index = static_cast<std::size_t>(bar - starts.begin() - 1);
    p = at - starts[index];
    return p < layout[index].Length;
  };
  const bool lands = std::any_of(file.Notes.begin(), file.Notes.end(), [&](const MidiNoteOn& note) {
    int row = 0;
    uint8_t variant = 0;
    std::size_t index = 0;
    uint64_t p = 0;
    return note.Channel == channel && DrumRowOfKey(note.Key, row, variant) && land(note, index, p);
  });
  if (!lands) {
    ImportResult nothing;
    nothing.Error = none + " within the " + std::to_string(maxBars) + " bars a song can hold.";
    return nothing;
  }
  if (cut)
    result.Warnings.push_back("The MIDI file is longer than " + std::to_string(maxBars) +
                              " bars; the rest is left out.");
  if (split)
    result.Warnings.push_back(
        "Bars longer than 64 sixteenths are split into bars of 64 sixteenths.");
  // Strokes of one key within a 32nd of each other are one note: a quieter stroke before a louder
  // one is its grace stroke (one makes a flam, two a drag), a quieter one after it a buzz roll's.
  // They are taken out before the bars' grids are chosen, so a grace stroke asks for no 32nd.
  // `style[i]` is what note i becomes; graces and roll strokes are marked consumed.
  const uint64_t thirtySecond = std::max<uint64_t>(1, file.Division / 8);
  std::vector<NoteStyle> style(file.Notes.size(), NoteStyle::None);
  std::vector<bool> consumed(file.Notes.size(), false);
  {
    std::unordered_map<uint8_t, std::size_t> last;  // key -> the latest note kept
    std::vector<int> graces(file.Notes.size(), 0);
    // A stroke as loud as the one a 32nd before it: a note of its own (a fill of 32nds), unless a
    // louder stroke follows, which makes the two its drag.
    std::vector<std::ptrdiff_t> asLoudBefore(file.Notes.size(), -1);
    for (std::size_t i = 0; i < file.Notes.size(); ++i) {
      const MidiNoteOn& note = file.Notes[i];
      if (note.Channel != channel) continue;
      auto found = last.find(note.Key);
      if (found != last.end()) {
        const std::size_t j = found->second;
        const MidiNoteOn& before = file.Notes[j];
        if (note.Tick > before.Tick && note.Tick - before.Tick <= thirtySecond) {
          if (note.Velocity == before.Velocity) {
            if (style[j] == NoteStyle::None) asLoudBefore[i] = static_cast<std::ptrdiff_t>(j);
          } else if (note.Velocity > before.Velocity && style[j] != NoteStyle::Roll) {
            consumed[j] = true;
            graces[i] = graces[j] + 1;
            if (asLoudBefore[j] >= 0) {
              consumed[static_cast<std::size_t>(asLoudBefore[j])] = true;
              ++graces[i];
            }
            style[i] = graces[i] == 1 ? NoteStyle::Flam : NoteStyle::Drag;
          } else {
            consumed[i] = true;
            if (style[j] == NoteStyle::None) style[j] = NoteStyle::Roll;
            continue;
          }
        }
      }
      last[note.Key] = i;
    }
  }

  // Each bar's grid: the notes' times (units from the bar's start) against the cells of each grid.
  // A note is read into the bar it lies in, or the next when it is within half the finest cell of
  // that bar's start.
  const double micros = std::max<double>(file.FirstTempo.value_or(500000), 1000);
  const double tolerance = kGridToleranceMs * 1000 * kUnitsPerQuarter / micros;
  std::vector<double> startUnits, barUnits;
  for (std::size_t b = 0; b < layout.size(); ++b) {
    startUnits.push_back(static_cast<double>(starts[b]) * CellUnits(BarGrid::Sixteenths));
    barUnits.push_back(static_cast<double>(layout[b].Length) * CellUnits(BarGrid::Sixteenths));
  }
  const double lead = CellUnits(BarGrid::Mixed) / 2.0;
  std::vector<TimedNote> timed;
  for (std::size_t i = 0; i < file.Notes.size(); ++i) {
    const MidiNoteOn& note = file.Notes[i];
    int row = 0;
    uint8_t variant = 0;
    if (consumed[i] || note.Channel != channel || !DrumRowOfKey(note.Key, row, variant)) continue;
    const double units = static_cast<double>(note.Tick) * kUnitsPerQuarter / file.Division;
    auto next = std::upper_bound(startUnits.begin(), startUnits.end(), units + lead);
    const auto bar = static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, next - startUnits.begin() - 1));
    if (units - startUnits[bar] >= barUnits[bar] + lead) continue;  // beyond the last bar kept
    timed.push_back({i, bar, units - startUnits[bar]});
  }
  const SongSwing swing = DetectSwing(timed, barUnits, tolerance);

  std::vector<std::vector<const TimedNote*>> inBar(layout.size());
  for (const TimedNote& n : timed) inBar[n.Bar].push_back(&n);
  std::vector<BarGrid> grids(layout.size(), BarGrid::Sixteenths);
  std::vector<std::vector<double>> cellTimes(layout.size());
  // The start of each cell of bar b in `grid`, the bar's end last; empty when the bar's timing
  // makes no whole number of cells of that grid, or more than a bar holds.
  auto timesOf = [&](std::size_t b, BarGrid grid) {
    std::vector<double> times;
    const int64_t units = static_cast<int64_t>(layout[b].Length) * CellUnits(BarGrid::Sixteenths);
    if (units % CellUnits(grid) != 0 || units / CellUnits(grid) > kMaxPositions) return times;
    const auto cells = static_cast<int>(units / CellUnits(grid));
    if (grid != BarGrid::Sixteenths && GridNumerator(cells, layout[b].Denominator, grid) == 0) return times;
    return CellTimes(grid, cells, swing);
  };
  for (std::size_t b = 0; b < layout.size(); ++b) {
    if (inBar[b].empty()) continue;
    std::array<bool, 4> used{};  // which of a beat's sixteenths the bar's notes take
    auto fits = [&](const std::vector<double>& times, bool sixteenths) {
      if (times.empty()) return false;
      for (const TimedNote* n : inBar[b]) {
        const std::size_t cell = NearestCell(times, n->Offset);
        if (std::abs(times[cell] - n->Offset) > tolerance) return false;
        if (sixteenths) used[cell % 4] = true;
      }
      return true;
    };
    // The plain grid first, so straight bars read as they always have. Under an eighth swing,
    // "1 e +" without the "a" is the triplet figure: such a bar reads as eighth triplets where
    // they fit. A bar no grid fits stays in sixteenths.
    if (fits(timesOf(b, BarGrid::Sixteenths), true)) {
      if (swing.On() && swing.Unit == SwingUnit::Eighths && used[1] && !used[3] &&
          fits(timesOf(b, BarGrid::EighthTriplets), false))
        grids[b] = BarGrid::EighthTriplets;
      continue;
    }
    for (const BarGrid grid : {BarGrid::EighthTriplets, BarGrid::SixteenthTriplets, BarGrid::ThirtySeconds,
                               BarGrid::Mixed}) {
      if (fits(timesOf(b, grid), false)) {
        grids[b] = grid;
        break;
      }
    }
  }

  // Where each note goes: a sixteenth bar of a straight song takes its notes as it always has, to
  // the nearest sixteenth; other bars to the nearest cell, the bar's end being the next bar's
  // start.
  struct Target {
    std::size_t Bar;
    int Cell;
  };
  std::vector<std::optional<Target>> targets(file.Notes.size());
  std::size_t lastBar = 0;
  for (const TimedNote& n : timed) {
    std::size_t index = n.Bar;
    int cell = 0;
    if (grids[n.Bar] == BarGrid::Sixteenths && !swing.On()) {
      uint64_t p = 0;
      if (!land(file.Notes[n.Note], index, p)) continue;
      cell = static_cast<int>(p);
    } else {
      if (cellTimes[n.Bar].empty()) cellTimes[n.Bar] = timesOf(n.Bar, grids[n.Bar]);
      cell = static_cast<int>(NearestCell(cellTimes[n.Bar], n.Offset));
      if (cell + 1 == static_cast<int>(cellTimes[n.Bar].size())) {
        if (++index == layout.size()) continue;  // beyond the last bar kept
        cell = 0;
      }
    }
    targets[n.Note] = Target{index, cell};
    lastBar = std::max(lastBar, index);
  }
  // A note rounded to the next sixteenth may have laid out a bar that a finer grid does not need.
  layout.resize(lastBar + 1);

  BarArray bars;
  bars.reserve(layout.size());
  for (std::size_t b = 0; b < layout.size(); ++b) {
    auto bar = std::make_unique<TBar>(4, 4);
    bar->Grid = grids[b];
    bar->Length = static_cast<uint8_t>(layout[b].Length * CellUnits(BarGrid::Sixteenths) / CellUnits(grids[b]));
    bar->Denominator = layout[b].Denominator;
    bars.push_back(std::move(bar));
  }

  std::unordered_map<uint64_t, uint8_t> loudness;  // cell -> velocity of the note kept there
  int merged = 0;
  for (std::size_t i = 0; i < file.Notes.size(); ++i) {
    if (!targets[i]) continue;
    const MidiNoteOn& note = file.Notes[i];
    int row = 0;
    uint8_t variant = 0;
    DrumRowOfKey(note.Key, row, variant);
    const std::size_t index = targets[i]->Bar;
    const auto p = static_cast<uint64_t>(targets[i]->Cell);
    TBar& target = bars.Edit(index);
    if (note.Key == kPedalHiHatKey) {
      // The hi-hat foot has its own line, beside whatever the hands play on the hi-hat.
      target.FootNotes |= uint64_t{1} << p;
      continue;
    }
    TNoteRow& notes = target.Rows[static_cast<std::size_t>(row)];
    const auto accent = static_cast<uint8_t>(note.Velocity >= kAccentVelocity);
    // Two notes of one row on one cell (a flam, a fast roll, an edge and a bow hit at once): the
    // louder stays, the first of two as loud.
    const uint64_t cell = (static_cast<uint64_t>(index) * kRowCount + static_cast<uint64_t>(row)) *
                              kMaxPositions + p;
    auto [loudest, fresh] = loudness.try_emplace(cell, note.Velocity);
    if (!fresh) {
      ++merged;
      if (note.Velocity <= loudest->second) continue;
      loudest->second = note.Velocity;
    }
    notes.Set(static_cast<int>(p), variant, accent);
    TNoteCell& kept = notes.Cells[static_cast<std::size_t>(p)];
    kept.Ghost = note.Velocity <= kGhostImportVelocity ? 1 : 0;
    NoteStyle how = note.Key == kRideBellKey ? NoteStyle::Bell : style[i];
    if (!StyleFitsRow(row, how)) how = NoteStyle::None;
    kept.Style = static_cast<uint8_t>(how);
  }

  if (unmappedNotes > 0) result.Warnings.push_back(unmappedText + " left out.");
  if (merged > 0)
    result.Warnings.push_back(
        std::to_string(merged) + (merged == 1 ? " note" : " notes") +
        " fell on the same sixteenth as another note of its row (a flam or a fast roll); the "
        "louder of each is kept.");

  auto doc = NewImportedDocument(std::move(bars));
  doc->Swing = swing;
  if (file.FirstTempo) {
    const double bpm =
        *file.FirstTempo == 0 ? kMaxTempo : std::round(60000000.0 / *file.FirstTempo);
    doc->Tempo = static_cast<uint16_t>(std::clamp<double>(bpm, 1, kMaxTempo));
  }
  ShowRowsWithNotes(*doc);
  result.Document = std::move(doc);
  return result;
}

ImportResult ImportMidiFile(std::string_view bytes, int channel,
                            std::vector<int>* channelsWithNotes, int maxBars) {
  MidiFileContents file;
  ImportResult result;
  if (!ReadMidiFileBytes(bytes, file, result.Error)) return result;
  return MidiToTab(file, channel, channelsWithNotes, maxBars);
}
