// The rhythm of one voice of a drum staff: a bar's sixteenth grid turned into written note values,
// rests and beams. Drums do not sustain, so a note lasts until the next one of its voice but never
// past its beat; what it cannot fill as one (dotted) value is rest, never a tie.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "model/time_feel.h"

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

// A bar of any other grid, written at its true durations: each beat (a quarter; the bar's groups
// for 32nds) in the coarsest subdivision that holds its notes: plain values where they do, else
// triplets of eighths, sixteenths or 32nds (3 in the time of 2).
struct GridRhythmItem {
  int Start = 0;     // cell of the bar's grid
  int Cells = 0;     // cells it lasts
  int Written = 0;   // written value in 32nds: 1, 2, 3, 4, 6, 8, 12, 16, 24 or 32; 0 for a whole-bar rest
  bool Rest = false;
  bool WholeBar = false;
  int Actual = 1;    // a tuplet's notes in the time of Normal; 1:1 when plain
  int Normal = 1;
  bool TupletStart = false;
  bool TupletStop = false;
  std::array<Beam, 3> Beams{Beam::None, Beam::None, Beam::None};  // eighth, sixteenth and 32nd beam
};

// The voice whose notes start at the set bits of `onsets` in a bar of `length` cells of `grid`
// written in `meter`: notes and rests in order, covering the bar exactly.
std::vector<GridRhythmItem> GridVoiceRhythm(uint64_t onsets, BarGrid grid, int length, const Meter& meter);

// MusicXML's note type and dot count for a written value in 32nds.
NoteValue NoteValueOf32nds(int thirtySeconds);
