#include <gtest/gtest.h>

#include <cmath>

#include "audio/drum_sound_bank.h"
#include "audio/song_mixer.h"
#include "tests/audio/song_frames.h"
#include "midi/output/fluid_synth_device.h"
#include "tests/expressive_song.h"

namespace {

using expressive_song::Put;

constexpr int kTempo = 120;

class ExpressiveRender : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string font, error;
    ASSERT_TRUE(FluidSynthDevice::FindConfiguredSoundFont(font, error)) << error;
    ASSERT_TRUE(bank.Open(font, error, /*effects=*/false)) << error;
  }
  // The song's first `frames` frames, left channel.
  std::vector<float> Render(const Osnova& song, int64_t frames) {
    SongMixer mixer(song, kTempo, song.Kit, bank);
    std::vector<float> stereo(2 * static_cast<std::size_t>(frames));
    mixer.Mix(stereo.data(), static_cast<int>(frames));
    std::vector<float> left(static_cast<std::size_t>(frames));
    for (int64_t i = 0; i < frames; ++i) left[static_cast<std::size_t>(i)] = stereo[2 * static_cast<std::size_t>(i)];
    return left;
  }
  static float Peak(const std::vector<float>& s, int64_t from, int64_t to) {
    float peak = 0;
    for (int64_t i = from; i < to && i < static_cast<int64_t>(s.size()); ++i) peak = std::max(peak, std::fabs(s[static_cast<std::size_t>(i)]));
    return peak;
  }
  DrumSoundBank bank;
};

// A flam's grace stroke starts a 32nd before the note, to the frame, as the snare at half the
// velocity: until the main stroke the song is exactly that sound.
TEST_F(ExpressiveRender, FlamGraceStrokeIsAThirtySecondEarlyAtHalfVelocity) {
  Osnova song(4, 1, 4);
  Put(song.EditBar(0), RowSnare, 4, 0, 0, 0, NoteStyle::Flam);
  const int64_t main = PositionFrame(4, kTempo), grace = StrokeFrame(4, -1, kTempo);
  EXPECT_EQ(grace, main - 2756);  // 44100 x 60 / 120 / 8, rounded from the song's start
  SongNotes notes(song, kTempo, song.Kit);
  AudioNote n;
  ASSERT_TRUE(notes.Next(n));
  EXPECT_EQ(std::make_tuple(n.Frame, int{n.Key}, int{n.Velocity}), std::make_tuple(grace, 38, 47));
  ASSERT_TRUE(notes.Next(n));
  EXPECT_EQ(std::make_tuple(n.Frame, int{n.Key}, int{n.Velocity}), std::make_tuple(main, 38, 94));
  EXPECT_FALSE(notes.Next(n));

  const auto out = Render(song, main + 4096);
  const auto sound = bank.Sound(38, 47);
  EXPECT_EQ(Peak(out, 0, grace), 0.0f);
  // Up to half a synthesizer block before the main stroke, which may cut the grace stroke there.
  for (int64_t f = grace; f < main - DrumSoundBank::kBlockFrames; ++f)
    ASSERT_EQ(out[static_cast<std::size_t>(f)], sound->Samples[2 * static_cast<std::size_t>(f - grace)]) << f - grace;
  EXPECT_GT(Peak(out, grace, grace + 64), 0.0f);
}

// A choked crash falls to -60 dB of its peak by the next sixteenth; without the choke it rings on.
// A ghost note is at least 12 dB quieter than the same note played normally.
TEST_F(ExpressiveRender, ChokedCrashIsSilentOnTheNextSixteenthAndGhostNotesAreQuieter) {
  Osnova choked(4, 1, 4), ringing(4, 1, 4);
  Put(choked.EditBar(0), RowCymbals, 0, 0, 0, 0, NoteStyle::Choke);
  Put(ringing.EditBar(0), RowCymbals, 0, 0, 0, 0, NoteStyle::None);
  const int64_t next = PositionFrame(1, kTempo), end = PositionFrame(8, kTempo);
  const auto cut = Render(choked, end), full = Render(ringing, end);
  const float peak = Peak(full, 0, next);
  ASSERT_GT(peak, 0.01f);
  EXPECT_EQ(Peak(cut, 0, next), peak);
  EXPECT_LT(Peak(cut, next, end), peak / 1000) << "not -60 dB one sixteenth later";
  EXPECT_GT(Peak(full, next, end), peak / 1000);

  for (int row : {RowSnare, RowHiHat, RowBass, RowTom1}) {
    Osnova ghost(4, 1, 4), normal(4, 1, 4);
    Put(ghost.EditBar(0), row, 0, 0, 0, 1, NoteStyle::None);
    Put(normal.EditBar(0), row, 0, 0, 0, 0, NoteStyle::None);
    const float quiet = Peak(Render(ghost, end), 0, end), loud = Peak(Render(normal, end), 0, end);
    EXPECT_GE(20 * std::log10(loud / quiet), 12.0f) << "row " << row;
  }
}

}  // namespace
