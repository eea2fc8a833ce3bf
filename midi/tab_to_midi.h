// Turns a tab into MIDI events: every instrument row of every bar becomes drum notes on channel 10
// at two ticks per sixteenth position, each note 20 ticks long with velocity 96.
#pragma once

#include <array>
#include <cstdint>

#include "midi/midi_container.h"
#include "model/tab_document.h"

inline constexpr uint8_t kDrumChannel = 10;
inline constexpr uint8_t kExportVelocity = 96;
inline constexpr int32_t kExportNoteTicks = 20;
inline constexpr const char* kExportProgramName = "GroovePad";

// Empties the container, sets 4/4 and `tempo`, then converts rows 1..8 of every bar in order.
// The same bars always give the same events.
void Convert_Tab(TMIDI_Container& container, const BarArray& bars, uint16_t tempo);

// One row of one bar: a program change and the instrument and track names at time 0 (the
// descriptive names when `firstRow`, else "0" and "x"), then a note-on and a velocity-0 note-off
// for every note on positions 0..length-1.
void Convert_Row(TMIDI_Container& container, uint8_t row,
                 const std::array<TNoteCell, kMaxPositions>& cells, int32_t barTime,
                 uint64_t notes, uint8_t length, bool firstRow);
