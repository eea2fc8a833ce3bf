// Turns a tab into MIDI events: every instrument row of every bar becomes drum notes on channel 10
// at two ticks per sixteenth position, each note 20 ticks long with its velocity (45 ghost, 94,
// 127 accented), with the grace and roll strokes of midi/note_strokes.h (one tick long each) and a
// choked cymbal ended on the next sixteenth.
#pragma once

#include <array>
#include <cstdint>
#include <utility>

#include "midi/midi_container.h"
#include "model/tab_document.h"

inline constexpr uint8_t kDrumChannel = 10;
inline constexpr int32_t kExportNoteTicks = 20;
inline constexpr const char* kExportProgramName = "GroovePad";

// The time signature a bar is written with: its timing, or length/16 when the length is none of
// its denominator's.
std::pair<uint8_t, uint8_t> BarTimeSignature(const TBar& bar);

// Empties the container, sets the first bar's time signature, one more wherever a bar's differs
// from the bar before, and `tempo`, then converts rows 1..8 of every bar in order (the hi-hat foot
// with row 3). The same bars always give the same events.
void Convert_Tab(TMIDI_Container& container, const BarArray& bars, uint16_t tempo);

// One row of one bar: a program change and the instrument and track names at time 0 (the
// descriptive names when `firstRow`, else "0" and "x"), then a note-on and a velocity-0 note-off
// for every note on positions 0..length-1.
void Convert_Row(TMIDI_Container& container, uint8_t row,
                 const std::array<TNoteCell, kMaxPositions>& cells, int32_t barTime,
                 uint64_t notes, uint8_t length, bool firstRow, uint64_t foot = 0);
