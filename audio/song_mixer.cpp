#include "audio/song_mixer.h"

#include <algorithm>
#include <bit>

#include "midi/drum_map.h"
#include "midi/midi_output.h"

int64_t PositionFrame(int64_t position, int tempo, int sampleRate) {
  // position x 15 s x rate / tempo, to the nearest frame, in integers.
  const int64_t t = std::max(tempo, 1);
  return (position * 30 * sampleRate + t) / (2 * t);
}

SongNotes::SongNotes(const Osnova& doc, int tempo, const std::array<uint8_t, kRowCount>& kit)
    : doc_(doc), tempo_(tempo), kit_(kit) {}

bool SongNotes::Next(AudioNote& note) {
  while (bar_ < doc_.Bars.size()) {
    const TBar& bar = *doc_.Bars[bar_];
    const int length = std::min<int>(bar.Length, kMaxPositions);
    while (position_ < length) {
      while (row_ < kRowCount) {
        const int row = row_++;
        const TNoteRow& cells = bar.Rows[static_cast<std::size_t>(row)];
        if (!kit_[static_cast<std::size_t>(row)] || !cells.Has(position_)) continue;
        const TNoteCell& cell = cells.Cells[static_cast<std::size_t>(position_)];
        note.Frame = PositionFrame(barStart_ + position_, tempo_);
        note.Key = DrumNoteOf(static_cast<uint8_t>(row), cell.Variant);
        note.Velocity = NoteVelocity(cell.Accent);
        return true;
      }
      row_ = 1;
      ++position_;
    }
    barStart_ += length;
    position_ = 0;
    ++bar_;
  }
  return false;
}

int64_t SongNotes::LastNoteFrame() const { return LastNoteAndEnd().first; }

int64_t SongNotes::MusicalEndFrame() const { return LastNoteAndEnd().second; }

std::pair<int64_t, int64_t> SongNotes::LastNoteAndEnd() const {
  int64_t start = 0, last = -1, end = -1;
  for (const auto& bar : doc_.Bars) {
    const int length = std::min<int>(bar->Length, kMaxPositions);
    const uint64_t inBar = length == 64 ? ~uint64_t{0} : (uint64_t{1} << length) - 1;
    uint64_t any = 0;
    for (int row = 1; row < kRowCount; ++row)
      if (kit_[static_cast<std::size_t>(row)]) any |= bar->Rows[static_cast<std::size_t>(row)].Notes;
    any &= inBar;
    if (any) {
      last = PositionFrame(start + std::bit_width(any) - 1, tempo_);
      end = PositionFrame(start + length, tempo_);
    }
    start += length;
  }
  return {last, end};
}

SongMixer::SongMixer(const Osnova& doc, int tempo, const std::array<uint8_t, kRowCount>& kit, DrumSoundBank& bank)
    : notes_(doc, tempo, kit), bank_(bank), lastNoteFrame_(notes_.LastNoteFrame()) {}

void SongMixer::ReadAhead(int64_t until) {
  while (notesLeft_ && (ahead_.empty() || ahead_.back().Frame < until)) {
    AudioNote note;
    if (notes_.Next(note))
      ahead_.push_back(note);
    else
      notesLeft_ = false;
  }
}

void SongMixer::Start(const AudioNote& note) {
  std::shared_ptr<const DrumSound> sound = bank_.Sound(note.Key, note.Velocity);
  const int64_t end = note.Frame + sound->Frames();
  // The first later note that cuts this one while it still rings (ahead_ holds the notes after it).
  for (const AudioNote& next : ahead_) {
    if (next.Frame >= end) break;
    if (bank_.Cuts(note.Key, next.Key)) {
      const int64_t gap = next.Frame - note.Frame;
      const int blocks = static_cast<int>((gap + DrumSoundBank::kBlockFrames / 2) / DrumSoundBank::kBlockFrames);
      sound = bank_.CutSound(note.Key, note.Velocity, next.Key, next.Velocity, std::max(blocks, 1));
      break;
    }
  }
  if (sound->Frames() > 0) voices_.push_back({std::move(sound), note.Frame});
}

void SongMixer::SkipTo(int64_t frame) {
  if (frame <= position_) return;
  ReadAhead(frame + DrumSoundBank::MaxFrames());
  while (!ahead_.empty() && ahead_.front().Frame < frame) {
    const AudioNote note = ahead_.front();
    ahead_.pop_front();
    Start(note);
  }
  voices_.erase(std::remove_if(voices_.begin(), voices_.end(),
                               [frame](const Voice& v) { return v.Start + v.Sound->Frames() <= frame; }),
                voices_.end());
  position_ = frame;
}

void SongMixer::Mix(float* out, int frames) {
  const int64_t from = position_, to = position_ + frames;
  std::fill(out, out + 2 * static_cast<std::ptrdiff_t>(frames), 0.0f);
  ReadAhead(to + DrumSoundBank::MaxFrames());
  while (!ahead_.empty() && ahead_.front().Frame < to) {
    const AudioNote note = ahead_.front();
    ahead_.pop_front();
    Start(note);
  }
  for (const Voice& voice : voices_) {
    const int64_t begin = std::max(from, voice.Start);
    const int64_t end = std::min(to, voice.Start + voice.Sound->Frames());
    if (begin >= end) continue;
    const float* src = voice.Sound->Samples.data() + 2 * (begin - voice.Start);
    float* dst = out + 2 * (begin - from);
    const int64_t n = 2 * (end - begin);
    for (int64_t i = 0; i < n; ++i) dst[i] += src[i];
  }
  voices_.erase(std::remove_if(voices_.begin(), voices_.end(),
                               [to](const Voice& v) { return v.Start + v.Sound->Frames() <= to; }),
                voices_.end());
  position_ = to;
}
