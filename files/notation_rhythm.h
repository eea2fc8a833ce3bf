// The rhythm of one voice of a drum staff: a bar's sixteenth grid turned into written note values,
// rests and beams. Drums do not sustain, so a note lasts until the next one of its voice but never
// past its beat; what it cannot fill as one (dotted) value is rest, never a tie.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

// A time signature as written. The tab stores a bar's length in sixteenths and a denominator.
struct Meter {
  int Beats = 4;
  int BeatType = 4;
  bool operator==(const Meter&) const = default;
};

// The bar's written time signature: its length over its denominator, or over 16 where the length
// is no whole number of the denominator's notes.
Meter MeterOf(int lengthSixteenths, int denominator);

// How a bar of `meter` falls into beats, as sixteenths per beat group, in order: quarters in /4;
// dotted quarters in /8 when the eighths divide by three, else quarters with a closing group of
// three eighths (7/8 = 2+2+3); in /16 groups of four with the rest at the end (17/16 ends on 5).
std::vector<int> BeatGroups(const Meter& meter);

enum class Beam : uint8_t { None, Begin, Continue, End, ForwardHook, BackwardHook };

struct RhythmItem {
  int Start = 0;        // sixteenth position in the bar
  int Sixteenths = 0;   // written value: 1, 2, 3, 4, 6, 8 (or the bar for a whole-bar rest)
  bool Rest = false;
  bool WholeBar = false;  // a whole-bar rest, written without a note type
  std::array<Beam, 2> Beams{Beam::None, Beam::None};  // eighth and sixteenth beam
};

// The voice whose notes start at the set bits of `onsets` (bit p = position p) in a bar of
// `meter`: notes and rests in order, covering the bar exactly.
std::vector<RhythmItem> VoiceRhythm(uint64_t onsets, const Meter& meter);

// MusicXML's note type and dot count for a written value in sixteenths.
struct NoteValue {
  const char* Type;
  int Dots;
};
NoteValue NoteValueOf(int sixteenths);
