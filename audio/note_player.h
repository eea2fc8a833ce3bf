// Playing drum notes from the rendered sounds of a DrumSoundBank, each from its exact frame: the one
// code the audio export and live playback share, so both sound the same to the sample.
//
// Two halves, because live they run on different threads: NoteVoicing picks each note's sound (it may
// render one, which takes milliseconds) and cuts the ringing notes it silences, as the synthesizer
// would; VoiceMixer only adds sounds up, fit for an audio callback.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "audio/drum_sound_bank.h"

struct AudioNote {
  int64_t Frame = 0;
  uint8_t Key = 0;
  uint8_t Velocity = 0;
  float Gain = 1.0f;
  bool Choke = false;  // no sound: the ringing notes of Key fade out and are silent from Frame
};

struct VoiceCommand {
  enum class Kind : uint8_t { Add, Replace } What = Kind::Add;
  uint64_t Id = 0;
  std::shared_ptr<const DrumSound> Sound;
  int64_t Start = 0;
  float Gain = 1.0f;
};

class NoteVoicing {
 public:
  explicit NoteVoicing(DrumSoundBank& bank) : bank_(bank) {}
  // Notes come in time order, each at least DrumSoundBank::kBlockFrames frames after the last frame
  // mixed: a cut can start up to half a block before the cutting note.
  void Start(const AudioNote& note, std::vector<VoiceCommand>& out);
  void Forget() { ringing_.clear(); }  // after the voices were dropped
  // Frames a choke takes to fade a ringing note to silence: short enough to sound like a hand on
  // the cymbal, long enough not to click.
  static constexpr int kChokeFadeFrames = 64;

 private:
  struct Ringing {
    uint64_t Id;
    uint8_t Key, Velocity;
    int64_t Start, End;
    float Gain;
  };
  void Choke(const AudioNote& note, std::vector<VoiceCommand>& out);

  DrumSoundBank& bank_;
  std::vector<Ringing> ringing_;  // voices no later note has cut yet
  uint64_t nextId_ = 1;
};

class VoiceMixer {
 public:
  VoiceMixer() { voices_.reserve(256); }
  void Apply(const VoiceCommand& command);
  // Adds the voices' frames [from, from + frames) into `out` (interleaved stereo).
  void Mix(float* out, int64_t from, int frames);
  void DropStartingAfter(int64_t frame);
  void DropEndedBy(int64_t frame);
  bool Idle() const { return voices_.empty(); }

 private:
  struct Voice {
    uint64_t Id;
    std::shared_ptr<const DrumSound> Sound;
    int64_t Start;
    float Gain;
  };
  std::vector<Voice> voices_;
};
