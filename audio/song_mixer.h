// A song's sound, mixed block by block from the drum sounds of the built-in synthesizer: each note
// of a shown row starts on the exact frame of its position and rings to its natural end.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

#include "audio/drum_sound_bank.h"
#include "audio/note_player.h"
#include "midi/practice.h"
#include "midi/timed_output.h"
#include "model/tab_document.h"

// A metronome click mixed into a song: where (ClickSpacing of the bar's denominator), which keys
// (the first beat of a bar accented) and how loud.
struct SongClick {
  ClickMode Mode = ClickMode::Off;
  int Volume = 80;  // percent
  uint8_t AccentKey = kHighWoodBlock, BeatKey = kLowWoodBlock;
};
// The metronome's keys in the bank's soundfont: General MIDI 2 bell and click where it has them.
void FindClickKeys(DrumSoundBank& bank, uint8_t& accentKey, uint8_t& beatKey);

// The first frame of sixteenth position `position` (counted from the song's start) at `tempo`
// quarter notes per minute: a sixteenth lasts 15000 / tempo ms, rounded to the nearest frame from
// the song's start, so nothing drifts.
int64_t PositionFrame(int64_t position, int tempo, int sampleRate = DrumSoundBank::kSampleRate);


// The song's notes in time order, read bar by bar: rows hidden in `kit` and row 0 give none;
// velocity 94, or 127 when accented.
class SongNotes {
 public:
  SongNotes(const Osnova& doc, int tempo, const std::array<uint8_t, kRowCount>& kit, SongClick click = {});
  bool Next(AudioNote& note);
  // The frame of the song's last note; -1 when it has none.
  int64_t LastNoteFrame() const;
  // The frame where the last bar holding a note ends (the song's musical length); -1 without notes.
  int64_t MusicalEndFrame() const;

 private:
  std::pair<int64_t, int64_t> LastNoteAndEnd() const;

  const Osnova& doc_;
  int tempo_;
  std::array<uint8_t, kRowCount> kit_;
  SongClick click_;
  std::size_t bar_ = 0;
  int position_ = 0;
  int row_ = 1;
  int64_t barStart_ = 0;  // sixteenths before the current bar
};

class SongMixer {
 public:
  SongMixer(const Osnova& doc, int tempo, const std::array<uint8_t, kRowCount>& kit, DrumSoundBank& bank,
            SongClick click = {});

  // Mixes the next `frames` frames into `out` (interleaved stereo, 2 x frames floats, overwritten).
  void Mix(float* out, int frames);
  int64_t Position() const { return position_; }
  // Moves on to `frame` without mixing what lies before it: notes struck earlier still ring on.
  void SkipTo(int64_t frame);
  int64_t LastNoteFrame() const { return lastNoteFrame_; }

 private:
  void VoiceNotesBefore(int64_t frame);

  SongNotes notes_;
  int64_t lastNoteFrame_;
  bool notesLeft_ = true;
  bool haveNext_ = false;
  AudioNote next_;
  NoteVoicing voicing_;
  VoiceMixer voices_;
  std::vector<VoiceCommand> commands_;
  int64_t position_ = 0;
};
