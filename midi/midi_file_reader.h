// Reads a Standard MIDI File (format 0 or 1) strictly: every chunk, event and length is checked
// against the bytes there are, and any damage refuses the whole file with a message. Only what
// an import needs is kept: the note-ons, the time signatures and the first tempo; meta events
// and system-exclusive messages are skipped by their lengths.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct MidiNoteOn {
  uint64_t Tick;
  uint8_t Channel;  // 1..16
  uint8_t Key;
  uint8_t Velocity;  // 1..127: a note-on with velocity 0 ends a note and is not kept
};

struct MidiTimeSignature {
  uint64_t Tick;
  uint8_t Numerator;
  uint8_t DenominatorPower;  // the denominator is 2 to this power
};

struct MidiFileContents {
  uint16_t Format = 0;
  uint16_t Division = 0;  // ticks per quarter note, 1..32767
  std::vector<MidiNoteOn>
      Notes;  // all channels, in time order (tracks in file order at equal times)
  std::vector<MidiTimeSignature> TimeSignatures;  // in time order
  std::optional<uint32_t> FirstTempo;  // microseconds per quarter note of the earliest set-tempo
};

// On failure returns false with a message for the user in `error` ("Cannot read the MIDI file:
// it ends early." and the like).
bool ReadMidiFileBytes(std::string_view bytes, MidiFileContents& out, std::string& error);
