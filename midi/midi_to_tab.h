// Turns the drum notes of a Standard MIDI File into a new tab: notes of one channel (10, the
// General MIDI drum channel, unless another is asked for), bars from the time signatures, keys to
// rows by the inverse of the drum-note map. Each bar is read in sixteenths, or in triplets, 32nds
// or both sixteenths and triplets where only that grid places every note within kGridToleranceMs
// of its time; a steady shuffle becomes the song's swing. Bars no grid fits are quantised to the
// nearest sixteenth.
#pragma once

#include <string_view>
#include <vector>

#include "midi/midi_file_reader.h"
#include "model/import_result.h"

inline constexpr int kDefaultDrumChannel = 10;
inline constexpr uint8_t kAccentVelocity = 110;  // this loud or louder reads as an accent
inline constexpr uint8_t kGhostImportVelocity = 60;  // this soft or softer reads as a ghost note
inline constexpr double kGridToleranceMs = 10;  // how far from its cell a note may be played

// The row and variant a General MIDI drum key stands for; false for a key no row has.
bool DrumRowOfKey(uint8_t key, int& row, uint8_t& variant);

// `channel` 1..16. Without a usable note the result has no document and says why; when the
// channel holds none, `channelsWithNotes` (if given) lists the channels that do. The song keeps
// at most `maxBars` bars (1..65535), the rest is left out with a warning.
ImportResult ImportMidiFile(std::string_view bytes, int channel = kDefaultDrumChannel,
                            std::vector<int>* channelsWithNotes = nullptr,
                            int maxBars = kMaxBarCount);
ImportResult MidiToTab(const MidiFileContents& file, int channel,
                       std::vector<int>* channelsWithNotes = nullptr, int maxBars = kMaxBarCount);
