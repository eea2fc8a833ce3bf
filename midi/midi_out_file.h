// Writes a TMIDI_Container as a Standard MIDI File: format 1, the container's ticks per quarter note
// (8 for a tab of sixteenths), a tempo track first and then one track per used channel in ascending
// order. The file is assembled in
// memory and only then written, through a temporary file and a rename.
#pragma once

#include <cstdint>
#include <string>

#include "midi/midi_container.h"

class TMIDI_Out_File {
 public:
  static constexpr uint16_t kTicksPerQuarter = 8;  // a tab of sixteenths without swing

  // Builds the whole file. Fails, with a message and nothing usable in Bytes(), when an event
  // time cannot be written (negative, or a delta of 2^28 ticks or more) or the time signature's
  // denominator is not a power of two.
  bool Write_File(const TMIDI_Container& container, std::string& error);
  const std::string& Bytes() const { return out_; }

  // Low-level writers; each counts its bytes into Bytes_In_Track.
  void Write_Byte(uint8_t value);
  void Write_Word(uint16_t value);
  void Write_Long(uint32_t value);
  void Write_String(const std::string& text);
  void Write_Var_Len(uint32_t value);
  void Write_Meta(uint8_t type, uint8_t length);

  // 60000000 / bpm microseconds per quarter note, held to the 24 bits the tempo event has room
  // for: below 4 beats per minute (0 included) the slowest tempo the file can express.
  static uint32_t MicrosecondsPerQuarter(uint16_t beatsPerMinute);

 private:
  void Write_Header(const TMIDI_Container& container);
  bool Write_Track(const TMIDI_Container& container, uint8_t channel, std::string& error);
  void Start_Track();
  void End_Track();

  std::string out_;
  uint32_t Bytes_In_Track = 0;
  uint32_t Length_Position = 0;
  uint32_t Delta = 0;
};

// TMIDI_Out_File::Write_File, then the bytes to `path` atomically. On failure returns false with
// the reason in `error`; an existing file at `path` is then left as it was.
bool WriteMidiFile(const TMIDI_Container& container, const std::string& path, std::string& error);
