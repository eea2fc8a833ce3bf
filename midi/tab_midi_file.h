// The MIDI file of a tab written straight from its bars: byte for byte what Convert_Tab followed
// by TMIDI_Out_File::Write_File gives, without the event list in between. A fully written
// 65535-bar song has 67 million events; as objects in a list they take gigabytes, while the file
// itself is a few hundred megabytes. Here the file is built once, in a buffer sized from the note
// count, and the events exist only while they are written. Songs in other grids, swung songs and
// songs with grace strokes or rolls go through the event list (midi/tab_to_midi.h).
#pragma once

#include <cstdint>
#include <string>

#include "model/tab_document.h"

// The file's bytes for `bars` at `tempo` beats per minute, swung by `swing`.
std::string TabMidiFileBytes(const BarArray& bars, uint16_t tempo, const SongSwing& swing = {});

// The same, written atomically to `path`. On failure returns false with the reason in `error`
// (also when memory for the file runs out); an existing file at `path` is then left as it was.
bool ExportTabMidiFile(const BarArray& bars, uint16_t tempo, const std::string& path, std::string& error,
                       const SongSwing& swing = {});
