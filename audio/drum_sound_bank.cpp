#include "audio/drum_sound_bank.h"

#include <algorithm>
#include <cmath>

#include "midi/output/fluid_settings.h"

namespace {

// The frames after the last one that is still audible are dropped.
void TrimSilence(std::vector<float>& samples) {
  std::size_t end = samples.size();
  while (end >= 2 && std::fabs(samples[end - 1]) < DrumSoundBank::kInaudible &&
         std::fabs(samples[end - 2]) < DrumSoundBank::kInaudible)
    end -= 2;
  samples.resize(end);
  samples.shrink_to_fit();
}

}  // namespace

DrumSoundBank::~DrumSoundBank() {
  if (synth_) delete_fluid_synth(synth_);
  if (settings_) delete_fluid_settings(settings_);
}

bool DrumSoundBank::Open(const std::string& soundFontPath, std::string& error, bool effects) {
  settings_ = NewFluidSettings(kSampleRate, error);
  if (!settings_) return false;
  // Reverb and chorus on, as in the live synthesizer: the kit's own sends give a faint room, about
  // 24 dB below the drums. Their delays are modulated over time, so a sound rendered alone differs
  // from the same sound inside the song by a trace of that room; dry, the two are exactly equal.
  fluid_settings_setint(settings_, "synth.reverb.active", effects ? 1 : 0);
  fluid_settings_setint(settings_, "synth.chorus.active", effects ? 1 : 0);
  synth_ = new_fluid_synth(settings_);
  if (!synth_) {
    error = "Cannot create the synthesizer";
    return false;
  }
  if (!fluid_is_soundfont(soundFontPath.c_str())) {
    error = "Not a SoundFont 2 file: " + soundFontPath;
    return false;
  }
  if (fluid_synth_sfload(synth_, soundFontPath.c_str(), 1) == FLUID_FAILED) {
    error = "Cannot load the soundfont " + soundFontPath;
    return false;
  }
  font_ = fluid_synth_get_sfont(synth_, 0);
  return font_ != nullptr;
}

// A synthesizer that has played anything before cuts notes a little differently (its exclusive-class
// and re-strike releases depend on its past), so every sound is rendered by a fresh one. They share
// the loaded soundfont, which makes them cheap.
DrumSoundBank::Fresh::Fresh(fluid_settings_t* settings, fluid_sfont_t* font) : font_(font) {
  synth_ = new_fluid_synth(settings);
  if (!synth_) return;
  fluid_synth_add_sfont(synth_, font_);
  // The live synthesizer's drum channel: bank 128, kit 0 (Standard).
  fluid_synth_program_change(synth_, kChannel, 0);
}

DrumSoundBank::Fresh::~Fresh() {
  if (!synth_) return;
  fluid_synth_remove_sfont(synth_, font_);  // the font belongs to the bank's own synthesizer
  delete_fluid_synth(synth_);
}

void DrumSoundBank::Render(fluid_synth_t* synth, int64_t frames, std::vector<float>& out) {
  while (frames > 0) {
    const int chunk = static_cast<int>(std::min<int64_t>(frames, 4096));
    const std::size_t at = out.size();
    out.resize(at + 2 * static_cast<std::size_t>(chunk));
    fluid_synth_write_float(synth, chunk, out.data() + at, 0, 2, out.data() + at, 1, 2);
    frames -= chunk;
  }
}

void DrumSoundBank::RenderUntilSilent(fluid_synth_t* synth, std::vector<float>& out) {
  int64_t frames = 0;
  bool ended = false;
  while (frames < MaxFrames()) {
    const std::size_t from = out.size();
    Render(synth, 1024, out);
    frames += 1024;
    // Once the voices are over, the effects' tail still has to fade.
    if (fluid_synth_get_active_voice_count(synth) == 0 &&
        std::all_of(out.begin() + static_cast<std::ptrdiff_t>(from), out.end(),
                    [](float s) { return std::fabs(s) < kInaudible; })) {
      ended = true;
      break;
    }
  }
  if (!ended) {
    // Still sounding at the limit: fade out over the last 50 ms rather than click.
    const std::size_t fade = std::min<std::size_t>(out.size() / 2, kSampleRate / 20);
    for (std::size_t i = 0; i < fade; ++i) {
      const float gain = static_cast<float>(i) / static_cast<float>(fade);
      out[out.size() - 2 * (i + 1)] *= gain;
      out[out.size() - 2 * (i + 1) + 1] *= gain;
    }
  }
}

std::shared_ptr<const DrumSound> DrumSoundBank::Sound(uint8_t key, uint8_t velocity) {
  auto& slot = sounds_[{key, velocity}];
  if (!slot) {
    auto sound = std::make_shared<DrumSound>();
    Fresh fresh(settings_, font_);
    if (fresh.Synth() && fluid_synth_noteon(fresh.Synth(), kChannel, key, velocity) == FLUID_OK)
      RenderUntilSilent(fresh.Synth(), sound->Samples);
    TrimSilence(sound->Samples);
    slot = std::move(sound);
  }
  return slot;
}

int DrumSoundBank::ExclusiveClass(uint8_t key) {
  auto found = exclusiveClass_.find(key);
  if (found != exclusiveClass_.end()) return found->second;
  int exclusive = 0;
  Fresh fresh(settings_, font_);
  if (fresh.Synth() && fluid_synth_noteon(fresh.Synth(), kChannel, key, 127) == FLUID_OK) {
    fluid_voice_t* voices[64] = {};
    fluid_synth_get_voicelist(fresh.Synth(), voices, 64, -1);
    for (fluid_voice_t* voice : voices) {
      if (!voice) break;
      exclusive = std::max(exclusive, static_cast<int>(fluid_voice_gen_get(voice, GEN_EXCLUSIVECLASS)));
    }
  }
  exclusiveClass_[key] = exclusive;
  return exclusive;
}

bool DrumSoundBank::Cuts(uint8_t key, uint8_t nextKey) {
  if (key == nextKey) return true;
  const int exclusive = ExclusiveClass(key);
  return exclusive != 0 && exclusive == ExclusiveClass(nextKey);
}

std::shared_ptr<const DrumSound> DrumSoundBank::CutSound(uint8_t key, uint8_t velocity, uint8_t nextKey,
                                                         uint8_t nextVelocity, int blocks) {
  std::shared_ptr<const DrumSound> alone = Sound(key, velocity);
  const int64_t cutAt = int64_t{blocks} * kBlockFrames;
  if (blocks < 0 || cutAt >= alone->Frames()) return alone;  // over before the next note
  const CutKey id{key, velocity, nextKey, nextVelocity, blocks};
  if (auto found = cuts_.find(id); found != cuts_.end()) {
    cutOrder_.splice(cutOrder_.begin(), cutOrder_, found->second);
    return found->second->second;
  }
  // The cut note dies no later than the note alone would.
  const int64_t after = alone->Frames() - cutAt;
  auto sound = std::make_shared<DrumSound>();
  std::vector<float>& pair = sound->Samples;
  pair.reserve(2 * static_cast<std::size_t>(alone->Frames()));
  {
    Fresh fresh(settings_, font_);
    if (fresh.Synth() && fluid_synth_noteon(fresh.Synth(), kChannel, key, velocity) == FLUID_OK) {
      Render(fresh.Synth(), cutAt, pair);
      fluid_synth_noteon(fresh.Synth(), kChannel, nextKey, nextVelocity);
      Render(fresh.Synth(), after, pair);
    }
  }
  // The next note alone, started at the same moment of the synthesizer's clock, so that its reverb
  // (whose delays are modulated over time) takes away exactly.
  std::vector<float> next;
  next.reserve(2 * static_cast<std::size_t>(alone->Frames()));
  {
    Fresh fresh(settings_, font_);
    if (fresh.Synth()) {
      Render(fresh.Synth(), cutAt, next);
      if (fluid_synth_noteon(fresh.Synth(), kChannel, nextKey, nextVelocity) == FLUID_OK)
        Render(fresh.Synth(), after, next);
    }
  }
  for (std::size_t i = 0; i < next.size() && i < pair.size(); ++i) pair[i] -= next[i];
  // Up to the cut the note is the note alone, to the last bit: a mix may switch from one to the
  // other whenever it learns of the cut (live playback learns of it a lookahead before).
  const std::size_t before = std::min(pair.size(), 2 * static_cast<std::size_t>(cutAt));
  std::copy(alone->Samples.begin(), alone->Samples.begin() + static_cast<std::ptrdiff_t>(before), pair.begin());
  TrimSilence(pair);

  cutBytes_ += pair.size() * sizeof(float);
  cutOrder_.emplace_front(id, sound);
  cuts_[id] = cutOrder_.begin();
  while (cutBytes_ > kCutBudgetBytes && cutOrder_.size() > 1) {
    cutBytes_ -= cutOrder_.back().second->Samples.size() * sizeof(float);
    cuts_.erase(cutOrder_.back().first);
    cutOrder_.pop_back();
  }
  return sound;
}
