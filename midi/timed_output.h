// Where playback hands its columns: each with the frame it must sound at, a little ahead of time
// where the output can place it exactly (the built-in synthesizer mixes it in at that frame, an ALSA
// sequencer queue delivers it at that time), or just in time where it cannot (any other device).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "midi/frame_clock.h"
#include "midi/midi_output.h"
#include "midi/note_strokes.h"
#include "model/time_feel.h"

enum class ClickKind : uint8_t { None, Beat, Accent };  // Accent: the first beat of a bar

// One step of playback: a column of the tab (none during a count-in) and the click with it.
struct TimedColumn {
  int64_t Frame = 0;
  bool HasColumn = false;
  DrumColumn Column;
  // Where Frame lies on its grid: the musical time (units of model/time_feel.h) since the grid's
  // origin, at this tempo. Grace and roll strokes go on the same grid, each rounded once from the
  // origin as the audio export does.
  int64_t GridUnits = 0;
  int64_t CentiBpm = 12000;
  // The frame of a stroke `offset` 32nds from the column (StrokeFrame(0) == Frame).
  int64_t StrokeFrame(int offset) const {
    return Frame + UnitsToFrames(GridUnits + offset * kStrokeOffsetUnits, CentiBpm) - UnitsToFrames(GridUnits, CentiBpm);
  }
  ClickKind Click = ClickKind::None;
  int ClickVolume = 100;  // percent
};

// The metronome's keys: General MIDI 2 metronome bell (accent) and click where a soundfont has them,
// else the General MIDI high and low wood blocks, which every General MIDI kit has.
inline constexpr uint8_t kGm2MetronomeClick = 33, kGm2MetronomeBell = 34;
inline constexpr uint8_t kHighWoodBlock = 76, kLowWoodBlock = 77;
uint8_t ClickVelocity(ClickKind click, int volumePercent);

// The messages of a step, in the order the column's are sent (program change, note-ons of rows 1..8,
// their note-offs), with the click's note-on and note-off after them.
std::vector<uint32_t> ColumnMessages(const TimedColumn& step, uint8_t accentKey, uint8_t beatKey);

class TimedOutput {
 public:
  virtual ~TimedOutput() = default;
  virtual FrameClock& Clock() = 0;
  // How long before its frame a step is handed over.
  virtual int64_t Lookahead() const { return 0; }
  // True when the output places a note's grace strokes before the note's own frame: it then gets
  // each step that much earlier still, or a flam's grace stroke would come too late to be early.
  virtual bool PlacesGraceStrokes() const { return false; }
  // Called on the playback thread before the first step of a run (loading what the steps need).
  virtual bool Begin(std::string& error) { (void)error; return true; }
  virtual void Schedule(const TimedColumn& step) = 0;
  // Nothing handed over sounds from now on unless it has begun; sounding notes ring out.
  virtual void Cancel() = 0;
};

// A device that plays what it gets at once: each step's messages are handed to `send` when its frame
// comes (which sends them to the device open at that moment and logs them by the sending).
class DirectTimedOutput : public TimedOutput {
 public:
  using Sender = std::function<void(const std::vector<uint32_t>& messages)>;
  DirectTimedOutput(FrameClock& clock, Sender send) : clock_(clock), send_(std::move(send)) {}
  FrameClock& Clock() override { return clock_; }
  void Schedule(const TimedColumn& step) override;
  void Cancel() override {}

 private:
  FrameClock& clock_;
  Sender send_;
};
