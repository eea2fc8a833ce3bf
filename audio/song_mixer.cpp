#include "audio/song_mixer.h"

#include <algorithm>
#include <bit>
#include <cstddef>

#include "midi/drum_map.h"
#include "midi/midi_output.h"
#include "midi/note_strokes.h"
#include "model/time_feel.h"

int64_t UnitsFrame(int64_t units, int tempo) {
  return UnitsToFrames(std::max<int64_t>(units, 0), int64_t{std::max(tempo, 1)} * 100);
}

void FindClickKeys(DrumSoundBank& bank, uint8_t& accentKey, uint8_t& beatKey) {
  const bool gm2 = bank.Sound(kGm2MetronomeBell, 127)->Frames() > 0 && bank.Sound(kGm2MetronomeClick, 100)->Frames() > 0;
  accentKey = gm2 ? kGm2MetronomeBell : kHighWoodBlock;
  beatKey = gm2 ? kGm2MetronomeClick : kLowWoodBlock;
}

SongNotes::SongNotes(const Osnova& doc, int tempo, const std::array<uint8_t, kRowCount>& kit, SongClick click)
    : doc_(doc), tempo_(tempo), kit_(kit), click_(click) {}

int64_t SongNotes::NextColumnUnits() const {
  if (bar_ >= doc_.Bars.size()) return barStart_;
  const TBar& bar = *doc_.Bars[bar_];
  return barStart_ + PositionUnits(bar, std::min<int>(position_, std::min<int>(bar.Length, kMaxPositions)), doc_.Swing);
}

bool SongNotes::QueueColumn() {
  while (bar_ < doc_.Bars.size()) {
    const TBar& bar = *doc_.Bars[bar_];
    const int length = std::min<int>(bar.Length, kMaxPositions);
    if (position_ >= length) {
      barStart_ += PositionUnits(bar, length, doc_.Swing);
      position_ = 0;
      ++bar_;
      continue;
    }
    const int64_t at = barStart_ + PositionUnits(bar, position_, doc_.Swing);
    StrokeList strokes;
    AddColumnStrokes(bar, position_, kit_, strokes);
    for (const Stroke& stroke : strokes) {
      AudioNote note;
      note.Frame = UnitsFrame(at + stroke.Offset * kStrokeOffsetUnits, tempo_);
      note.Key = stroke.Key;
      note.Velocity = stroke.Velocity;
      note.Choke = stroke.Choke;
      queue_.push({note, order_++});
    }
    // After the column's notes, its click, as live playback plays it.
    if (click_.Mode != ClickMode::Off && click_.Volume > 0) {
      if (ClicksOn(click_.Mode, bar, position_)) {
        const ClickKind kind = position_ == 0 ? ClickKind::Accent : ClickKind::Beat;
        AudioNote note;
        note.Frame = UnitsFrame(at, tempo_);
        note.Key = kind == ClickKind::Accent ? click_.AccentKey : click_.BeatKey;
        note.Velocity = ClickVelocity(kind, 100);
        note.Gain = static_cast<float>(std::clamp(click_.Volume, 0, 100)) / 100.0f;
        queue_.push({note, order_++});
      }
    }
    ++position_;
    return true;
  }
  return false;
}

bool SongNotes::Next(AudioNote& note) {
  while (true) {
    if (!queue_.empty()) {
      // Every column not yet queued starts at or after this frame.
      const int64_t horizon = UnitsFrame(NextColumnUnits() + kEarliestStrokeOffset * kStrokeOffsetUnits, tempo_);
      if (columnsDone_ || queue_.top().Note.Frame < horizon) {
        note = queue_.top().Note;
        queue_.pop();
        return true;
      }
    }
    if (columnsDone_) return false;
    if (!QueueColumn()) columnsDone_ = true;
  }
}

int64_t SongNotes::LastNoteFrame() const { return LastNoteAndEnd().first; }

int64_t SongNotes::MusicalEndFrame() const { return LastNoteAndEnd().second; }

std::pair<int64_t, int64_t> SongNotes::LastNoteAndEnd() const {
  int64_t start = 0, last = -1, end = -1;  // start in units
  for (const auto& bar : doc_.Bars) {
    const int length = std::min<int>(bar->Length, kMaxPositions);
    const uint64_t inBar = PositionsBelow(length);
    uint64_t any = 0;
    for (int row = 1; row < kRowCount; ++row)
      if (kit_[static_cast<std::size_t>(row)]) any |= bar->Rows[static_cast<std::size_t>(row)].Notes;
    if (kit_[RowHiHat]) any |= bar->FootNotes;
    any &= inBar;
    if (any) {
      // The last column's last stroke: a roll's second stroke comes after the note.
      const int p = std::bit_width(any) - 1;
      StrokeList strokes;
      AddColumnStrokes(*bar, p, kit_, strokes);
      int offset = 0;
      for (const Stroke& stroke : strokes)
        if (!stroke.Choke) offset = std::max(offset, stroke.Offset);
      last = UnitsFrame(start + PositionUnits(*bar, p, doc_.Swing) + offset * kStrokeOffsetUnits, tempo_);
      end = UnitsFrame(start + PositionUnits(*bar, length, doc_.Swing), tempo_);
    }
    if (click_.Mode != ClickMode::Off && click_.Volume > 0 && length > 0) {
      // The click plays every bar: the song lasts to its last bar's last click (the first cell
      // always has one).
      int q = length - 1;
      while (q > 0 && !ClicksOn(click_.Mode, *bar, q)) --q;
      last = std::max(last, UnitsFrame(start + PositionUnits(*bar, q, doc_.Swing), tempo_));
      end = std::max(end, UnitsFrame(start + PositionUnits(*bar, length, doc_.Swing), tempo_));
    }
    start += PositionUnits(*bar, length, doc_.Swing);
  }
  return {last, end};
}

SongMixer::SongMixer(const Osnova& doc, int tempo, const std::array<uint8_t, kRowCount>& kit, DrumSoundBank& bank,
                     SongClick click)
    : notes_(doc, tempo, kit, click), lastNoteFrame_(notes_.LastNoteFrame()), voicing_(bank) {}

void SongMixer::SkipTo(int64_t frame) {
  if (frame <= position_) return;
  // The notes before `frame` are voiced as Mix would voice them; only their frames go unmixed.
  VoiceNotesBefore(frame + DrumSoundBank::kBlockFrames);
  voices_.DropEndedBy(frame);
  position_ = frame;
}

void SongMixer::VoiceNotesBefore(int64_t frame) {
  while (notesLeft_) {
    if (!haveNext_) {
      haveNext_ = notes_.Next(next_);
      if (!haveNext_) {
        notesLeft_ = false;
        break;
      }
    }
    if (next_.Frame >= frame) break;
    commands_.clear();
    voicing_.Start(next_, commands_);
    for (const VoiceCommand& command : commands_) voices_.Apply(command);
    haveNext_ = false;
  }
}

void SongMixer::Mix(float* out, int frames) {
  const int64_t from = position_, to = position_ + frames;
  std::fill(out, out + 2 * static_cast<std::ptrdiff_t>(frames), 0.0f);
  // Notes are voiced a block ahead of the frames mixed: a note may cut a ringing one half a block
  // before its own frame (the synthesizer's events fall on block edges).
  VoiceNotesBefore(to + DrumSoundBank::kBlockFrames);
  voices_.Mix(out, from, frames);
  position_ = to;
}
