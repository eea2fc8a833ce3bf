// A song's sound, mixed block by block from the drum sounds of the built-in synthesizer: each note
// of a shown row starts on the exact frame of its time (its bar's grid and the song's swing,
// model/time_feel.h) and rings to its natural end.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <queue>
#include <utility>
#include <vector>

#include "audio/drum_sound_bank.h"
#include "audio/note_player.h"
#include "midi/practice.h"
#include "midi/timed_output.h"
#include "model/tab_document.h"

// A metronome click mixed into a song: where (ClicksOn: the cells the click's spacing starts), which keys
// (the first beat of a bar accented) and how loud.
struct SongClick {
  ClickMode Mode = ClickMode::Off;
  int Volume = 80;  // percent
  uint8_t AccentKey = kHighWoodBlock, BeatKey = kLowWoodBlock;
};
// The metronome's keys in the bank's soundfont: General MIDI 2 bell and click where it has them.
void FindClickKeys(DrumSoundBank& bank, uint8_t& accentKey, uint8_t& beatKey);

// The frame of musical time `units` (model/time_feel.h) from the song's start at `tempo` quarter
// notes per minute, rounded to the nearest frame from the song's start, so nothing drifts; never
// before the song's start.
int64_t UnitsFrame(int64_t units, int tempo);


// The song's notes in time order, read bar by bar: rows hidden in `kit` and row 0 give none; each
// note's strokes (midi/note_strokes.h) at its velocity (45 ghost, 94, 127 accented), at the time its
// bar's grid and the song's swing give it.
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
  // Queues the strokes and click of the next column; false at the song's end.
  bool QueueColumn();
  // The time of the next column to queue (the song's end after the last).
  int64_t NextColumnUnits() const;

  struct Queued {
    AudioNote Note;
    uint64_t Order;
    bool operator>(const Queued& o) const { return Note.Frame != o.Note.Frame ? Note.Frame > o.Note.Frame : Order > o.Order; }
  };
  const Osnova& doc_;
  int tempo_;
  std::array<uint8_t, kRowCount> kit_;
  SongClick click_;
  std::size_t bar_ = 0;
  int position_ = 0;
  int64_t barStart_ = 0;  // units before the current bar
  // Grace strokes start before their column: columns are queued ahead until nothing later can come
  // before the earliest queued stroke.
  std::priority_queue<Queued, std::vector<Queued>, std::greater<>> queue_;
  uint64_t order_ = 0;
  bool columnsDone_ = false;
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
