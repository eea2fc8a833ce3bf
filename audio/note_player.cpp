#include "audio/note_player.h"

#include <algorithm>

void NoteVoicing::Start(const AudioNote& note, std::vector<VoiceCommand>& out) {
  // The ringing notes this one cuts: a re-struck key, or a key of the same exclusive class (a closing
  // hi-hat). Each is cut by its first cutter only.
  std::erase_if(ringing_, [&](const Ringing& r) { return r.End <= note.Frame; });
  if (note.Choke) {
    Choke(note, out);
    return;
  }
  for (auto it = ringing_.begin(); it != ringing_.end();) {
    if (!bank_.Cuts(it->Key, note.Key)) {
      ++it;
      continue;
    }
    const int64_t gap = note.Frame - it->Start;
    const int blocks = static_cast<int>((gap + DrumSoundBank::kBlockFrames / 2) / DrumSoundBank::kBlockFrames);
    out.push_back({VoiceCommand::Kind::Replace, it->Id,
                   bank_.CutSound(it->Key, it->Velocity, note.Key, note.Velocity, std::max(blocks, 1)), it->Start,
                   it->Gain});
    it = ringing_.erase(it);
  }
  std::shared_ptr<const DrumSound> sound = bank_.Sound(note.Key, note.Velocity);
  if (sound->Frames() == 0) return;
  const uint64_t id = nextId_++;
  ringing_.push_back({id, note.Key, note.Velocity, note.Frame, note.Frame + sound->Frames(), note.Gain});
  out.push_back({VoiceCommand::Kind::Add, id, std::move(sound), note.Frame, note.Gain});
}

void NoteVoicing::Choke(const AudioNote& note, std::vector<VoiceCommand>& out) {
  for (auto it = ringing_.begin(); it != ringing_.end();) {
    if (it->Key != note.Key || it->Start > note.Frame) {
      ++it;
      continue;
    }
    // The sound as struck, faded out just before the choke and silent from it on.
    std::shared_ptr<const DrumSound> sound = bank_.Sound(it->Key, it->Velocity);
    auto cut = std::make_shared<DrumSound>();
    const int64_t keep = std::clamp<int64_t>(note.Frame - it->Start, 0, sound->Frames());
    cut->Samples.assign(sound->Samples.begin(), sound->Samples.begin() + 2 * keep);
    for (int64_t f = std::max<int64_t>(0, keep - kChokeFadeFrames); f < keep; ++f) {
      const float g = static_cast<float>(keep - f) / static_cast<float>(kChokeFadeFrames + 1);
      cut->Samples[static_cast<std::size_t>(2 * f)] *= g;
      cut->Samples[static_cast<std::size_t>(2 * f + 1)] *= g;
    }
    out.push_back({VoiceCommand::Kind::Replace, it->Id, std::move(cut), it->Start, it->Gain});
    it = ringing_.erase(it);
  }
}

void VoiceMixer::Apply(const VoiceCommand& command) {
  if (command.What == VoiceCommand::Kind::Add) {
    voices_.push_back({command.Id, command.Sound, command.Start, command.Gain});
    return;
  }
  for (Voice& voice : voices_)
    if (voice.Id == command.Id) voice.Sound = command.Sound;
}

void VoiceMixer::Mix(float* out, int64_t from, int frames) {
  const int64_t to = from + frames;
  for (const Voice& voice : voices_) {
    const int64_t begin = std::max(from, voice.Start);
    const int64_t end = std::min(to, voice.Start + voice.Sound->Frames());
    if (begin >= end) continue;
    const float* src = voice.Sound->Samples.data() + 2 * (begin - voice.Start);
    float* dst = out + 2 * (begin - from);
    const int64_t n = 2 * (end - begin);
    if (voice.Gain == 1.0f)
      for (int64_t i = 0; i < n; ++i) dst[i] += src[i];
    else
      for (int64_t i = 0; i < n; ++i) dst[i] += voice.Gain * src[i];
  }
  std::erase_if(voices_, [to](const Voice& v) { return v.Start + v.Sound->Frames() <= to; });
}

void VoiceMixer::DropEndedBy(int64_t frame) {
  std::erase_if(voices_, [frame](const Voice& v) { return v.Start + v.Sound->Frames() <= frame; });
}

void VoiceMixer::DropStartingAfter(int64_t frame) {
  std::erase_if(voices_, [frame](const Voice& v) { return v.Start > frame; });
}
