// Turns a tab into MIDI events: every instrument row of every bar becomes drum notes on channel 10
// at the times its bar's grid and the song's swing give (model/time_feel.h), each note 2.5 quarters
// long with its velocity (45 ghost, 94, 127 accented), with the grace and roll strokes of
// midi/note_strokes.h (a 32nd long each) and a choked cymbal ended a sixteenth on.
//
// A tab of sixteenths without swing is written at 8 ticks a quarter, as it always was: two ticks a
// sixteenth, 20 a note. Any other song takes the coarsest of 480, 2400 and 4800 ticks a quarter that
// holds every time exactly (480 holds every grid and swing in steps of 5 %; 2400 every time there is).
#pragma once

#include <array>
#include <cstdint>
#include <utility>

#include "midi/midi_container.h"
#include "model/tab_document.h"
#include "model/time_feel.h"

inline constexpr uint8_t kDrumChannel = 10;
inline constexpr int32_t kExportNoteTicks = 20;  // at 8 ticks a quarter
inline constexpr const char* kExportProgramName = "GroovePad";

// The time signature a bar is written with: its timing (a 4/4 bar of triplets is 4/4), or its
// length in sixteenths, 32nds or 64ths when the length is none of its denominator's.
std::pair<uint8_t, uint8_t> BarTimeSignature(const TBar& bar);

// True for a tab that is written as it always was, at 8 ticks a quarter.
bool SixteenthsWithoutSwing(const BarArray& bars, const SongSwing& swing);
// The resolution `bars` are written at with `swing` (see above). A song too long for the exact one
// (its last tick past the 2^28 a MIDI delta can span) gets the finest that fits, times rounded.
uint16_t MidiTicksPerQuarter(const BarArray& bars, const SongSwing& swing);
// Musical time to ticks, to the nearest tick from the song's start (exact at a resolution that
// holds it); never before the start.
int64_t MidiTicks(int64_t units, uint16_t ticksPerQuarter);

// Empties the container, sets its resolution, the first bar's time signature, one more wherever a
// bar's differs from the bar before, and `tempo`, then converts rows 1..8 of every bar in order (the
// hi-hat foot with row 3). The same bars always give the same events.
void Convert_Tab(TMIDI_Container& container, const BarArray& bars, uint16_t tempo, const SongSwing& swing = {});

// One row of one bar starting `barUnits` into the song: a program change and the instrument and
// track names at time 0 (the descriptive names when `firstRow`, else "0" and "x"), then a note-on
// and a velocity-0 note-off for every note on positions 0..Length-1 (and the hi-hat foot with row 3),
// at `ticksPerQuarter`.
void Convert_Row(TMIDI_Container& container, uint8_t row, const TBar& bar, int64_t barUnits,
                 const SongSwing& swing, uint16_t ticksPerQuarter, bool firstRow);
