// The drum sounds of the built-in synthesizer, rendered once each and kept, so that a song can be
// mixed from them with every note placed to the sample.
//
// Why not let FluidSynth play the song directly: it starts notes only at the edges of its 64-frame
// blocks, so a note lands up to 1.45 ms late, and the error wanders from note to note. Rendering
// each sound alone from a block edge and adding it into the song at its exact frame keeps the
// synthesizer's sound and gets the timing right. Drum voices are independent, with two exceptions
// that the synthesizer handles itself and this bank reproduces: a note struck again while it rings
// releases the ringing one, and a hi-hat closing (a key of the same exclusive class) chokes the
// open one. Such a cut note is rendered as a variant: the pair played by the synthesizer, minus the
// cutting note alone, which leaves exactly the first note as the synthesizer would have played it.
#pragma once

#include <fluidsynth.h>

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

// One rendered sound: interleaved stereo floats from the note-on, up to where it has died away.
struct DrumSound {
  std::vector<float> Samples;
  int64_t Frames() const { return static_cast<int64_t>(Samples.size() / 2); }
};

class DrumSoundBank {
 public:
  static constexpr int kSampleRate = 44100;
  static constexpr int kChannel = 9;          // MIDI channel 10, the drum channel
  static constexpr int kBlockFrames = 64;     // the synthesizer's block: events take effect on its edges
  static constexpr int kMaxRingSeconds = 12;  // a sound that never ends (a looped sample) fades out here
  // A sound is over once it stays below this: under half a step of 16-bit audio.
  static constexpr float kInaudible = 1.0f / 65536.0f;

  DrumSoundBank() = default;
  DrumSoundBank(const DrumSoundBank&) = delete;
  DrumSoundBank& operator=(const DrumSoundBank&) = delete;
  ~DrumSoundBank();

  // Loads the soundfont into an offline synthesizer, with reverb and chorus as the live one has them
  // or, without `effects`, dry. False with the reason when it cannot.
  bool Open(const std::string& soundFontPath, std::string& error, bool effects = true);

  // The note alone, ringing to its natural end.
  std::shared_ptr<const DrumSound> Sound(uint8_t key, uint8_t velocity);
  // The note when `nextKey` is struck `blocks` synthesizer blocks after it (a re-strike of the same
  // key, or a key of the same exclusive class).
  std::shared_ptr<const DrumSound> CutSound(uint8_t key, uint8_t velocity, uint8_t nextKey, uint8_t nextVelocity,
                                            int blocks);
  // True when striking `nextKey` changes a ringing `key`.
  bool Cuts(uint8_t key, uint8_t nextKey);

  // The longest any sound can be, in frames.
  static constexpr int64_t MaxFrames() { return int64_t{kMaxRingSeconds} * kSampleRate; }

 private:
  class Fresh {
   public:
    Fresh(fluid_settings_t* settings, fluid_sfont_t* font);
    Fresh(const Fresh&) = delete;
    Fresh& operator=(const Fresh&) = delete;
    ~Fresh();
    fluid_synth_t* Synth() const { return synth_; }

   private:
    fluid_sfont_t* font_;
    fluid_synth_t* synth_ = nullptr;
  };
  // Renders `frames` frames and appends them to `out`.
  static void Render(fluid_synth_t* synth, int64_t frames, std::vector<float>& out);
  // Renders from a note-on until the synthesizer falls silent or the ring limit.
  static void RenderUntilSilent(fluid_synth_t* synth, std::vector<float>& out);
  int ExclusiveClass(uint8_t key);

  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;  // holds the soundfont
  fluid_sfont_t* font_ = nullptr;
  std::map<std::pair<uint8_t, uint8_t>, std::shared_ptr<const DrumSound>> sounds_;
  std::map<uint8_t, int> exclusiveClass_;

  // Cut variants depend on the spacing of the notes, so a song can ask for many: the least recently
  // used go once they take more than the budget.
  using CutKey = std::tuple<uint8_t, uint8_t, uint8_t, uint8_t, int>;
  static constexpr std::size_t kCutBudgetBytes = std::size_t{96} << 20;
  std::list<std::pair<CutKey, std::shared_ptr<const DrumSound>>> cutOrder_;  // most recent first
  std::map<CutKey, decltype(cutOrder_)::iterator> cuts_;
  std::size_t cutBytes_ = 0;
};
