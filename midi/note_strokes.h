// The strokes one note is played with: the main stroke, and the grace strokes of a flam or drag, the
// second stroke of a buzz roll, the cut of a choked cymbal. The audio export, live playback and the
// MIDI export all take their strokes from here, so the three agree.
//
// Offsets are in 32nd notes of real time from the note's time, whatever the bar's grid (a flam in
// a triplet bar is as close to its note as anywhere): one tick of the plain MIDI export (8 ticks a
// quarter), so a grace stroke sits where that file can put it. A drag's two grace strokes are 32nds,
// the roll fills a sixteenth with two 32nd strokes.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "model/tab_document.h"
#include "model/time_feel.h"

struct Stroke {
  int Offset = 0;  // 32nds from the note's position
  uint8_t Key = 0;
  uint8_t Velocity = 0;
  bool Choke = false;  // not a stroke: the ringing Key falls silent here
};

class StrokeList {
 public:
  static constexpr int kCapacity = 4 * kRowCount + 2;
  void Add(const Stroke& s) {
    if (count_ < kCapacity) items_[static_cast<std::size_t>(count_++)] = s;
  }
  const Stroke* begin() const { return items_.data(); }
  const Stroke* end() const { return items_.data() + count_; }
  int size() const { return count_; }
  void clear() { count_ = 0; }
  // Into time order; strokes at one offset keep their order.
  void SortByOffset() {
    std::stable_sort(items_.begin(), items_.begin() + count_,
                     [](const Stroke& a, const Stroke& b) { return a.Offset < b.Offset; });
  }

 private:
  std::array<Stroke, kCapacity> items_{};
  int count_ = 0;
};

// The earliest offset any stroke can have (a drag's first grace stroke).
constexpr int kEarliestStrokeOffset = -2;
// One offset in musical time (model/time_feel.h): a 32nd.
inline constexpr int64_t kStrokeOffsetUnits = kUnitsPerQuarter / 8;

// The key a note sounds: DrumNoteOf, or the ride bell for a bell note.
uint8_t CellKey(int row, const TNoteCell& cell);
// Appends the strokes of one note (a cell whose Variant is 255 gives none).
void AddCellStrokes(int row, const TNoteCell& cell, StrokeList& out);
// The hi-hat foot: the pedal hi-hat at normal velocity.
void AddFootStroke(StrokeList& out);
// All strokes of position `position` of `bar`: rows in `kit`, then the hi-hat foot (with the hi-hat).
void AddColumnStrokes(const TBar& bar, int position, const std::array<uint8_t, kRowCount>& kit, StrokeList& out);
