// What a drummer practises with: a metronome click, a count-in, a loop over a part or a range of
// bars, and a speed trainer that raises the tempo pass by pass. Qt-free; used by the playback engine,
// the window and the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/tab_document.h"

enum class ClickMode : uint8_t { Off, Quarter, Eighth, Sixteenth };  // Quarter: the bar's beat

struct SpeedTrainer {
  bool On = false;
  int FromPercent = 80;
  int ToPercent = 100;
  int Step = 5;            // percent, or bpm with StepInBpm
  bool StepInBpm = false;
  int Passes = 2;          // passes at each tempo
  bool CountInEachPass = false;
};

struct PracticeOptions {
  ClickMode Click = ClickMode::Off;
  int ClickVolume = 80;  // percent
  int CountInBars = 0;   // 0..2
  // A range of bars played over and over, whatever the mode and Loop say.
  bool RangeLoop = false;
  uint16_t LoopFirst = 0, LoopLast = 0;
  SpeedTrainer Trainer;  // while looping
};

// Hundredths of bpm heard on pass `pass` (0-based) at song tempo `tempo`.
int TrainerCentiBpm(const SpeedTrainer& trainer, int tempo, int pass);
// Hundredths of bpm heard before any pass: the trainer's start, or the tempo itself.
inline int StartCentiBpm(const PracticeOptions& options, int tempo) {
  return options.Trainer.On ? TrainerCentiBpm(options.Trainer, tempo, 0) : tempo * 100;
}

// Sixteenths between two clicks in a bar of that denominator; 0 for Off.
int ClickSpacing(ClickMode mode, uint8_t denominator);
// The beat of a bar (one denominator note) in sixteenths, at least one.
int BeatSixteenths(uint8_t denominator);
// Whether cell `position` of `bar` gets a click in `mode`: the cells that begin a click's span of
// straight time, in any grid (an eighth-triplet bar clicks eighths on its beats only: the eighth
// between has no cell). Swing moves a click with its cell.
bool ClicksOn(ClickMode mode, const TBar& bar, int position);

// The bars of the song part that `bar` lies in: from its start to the bar before the next part
// (or the last bar). Nothing when no part starts at or before `bar`.
struct BarRange {
  uint16_t First = 0, Last = 0;
};
std::optional<BarRange> PartRangeOf(const Osnova& doc, uint16_t bar);
// The part named `name` (as typed, Windows-1252 bytes): its range; nothing when there is none.
std::optional<BarRange> PartRangeNamed(const Osnova& doc, const std::string& name);

// Command-line forms; false with a message when the text does not fit.
bool ParseClickMode(const std::string& text, ClickMode& mode, std::string& error);
bool ParseBarRange(const std::string& text, uint16_t barCount, BarRange& range, std::string& error);  // "A-B", 1-based
bool ParseTrainer(const std::string& text, SpeedTrainer& trainer, std::string& error);  // FROM%:TO%:STEP%:PASSES
