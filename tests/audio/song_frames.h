// Where the audio export puts sixteenth positions and their strokes, for songs of sixteenths.
#pragma once

#include "audio/song_mixer.h"
#include "model/time_feel.h"

// The first frame of sixteenth `position` from the song's start at `tempo`.
inline int64_t PositionFrame(int64_t position, int tempo) {
  return UnitsFrame(position * CellUnits(BarGrid::Sixteenths), tempo);
}
// The frame of a stroke `offset` 32nds from sixteenth `position`.
inline int64_t StrokeFrame(int64_t position, int offset, int tempo) {
  return UnitsFrame(position * CellUnits(BarGrid::Sixteenths) + offset * CellUnits(BarGrid::ThirtySeconds), tempo);
}
