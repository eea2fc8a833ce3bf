#include "audio/audio_export.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "audio/drum_sound_bank.h"
#include "audio/song_mixer.h"
#include "common/atomic_file.h"
#include "midi/output/fluid_synth_device.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;
constexpr int64_t kMs = kRate / 1000;

struct Sound {
  int Rate = 0, Channels = 0;
  std::vector<float> Samples;  // interleaved
  int64_t Frames() const { return static_cast<int64_t>(Samples.size()) / std::max(Channels, 1); }
  // Loudest sample of the frames [from, to).
  float Peak(int64_t from, int64_t to) const {
    float peak = 0;
    for (int64_t i = 2 * std::max<int64_t>(from, 0); i < 2 * std::min(to, Frames()); ++i)
      peak = std::max(peak, std::fabs(Samples[static_cast<std::size_t>(i)]));
    return peak;
  }
  // The first frame at or after `from` that is louder than `level`; -1 when none.
  int64_t Onset(int64_t from, float level) const {
    for (int64_t f = std::max<int64_t>(from, 0); f < Frames(); ++f)
      if (std::fabs(Samples[static_cast<std::size_t>(2 * f)]) > level ||
          std::fabs(Samples[static_cast<std::size_t>(2 * f + 1)]) > level)
        return f;
    return -1;
  }
};

Sound ReadSound(const std::string& path) {
  Sound sound;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  EXPECT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
  if (!file) return sound;
  sound.Rate = info.samplerate;
  sound.Channels = info.channels;
  sound.Samples.resize(static_cast<std::size_t>(info.frames * info.channels));
  EXPECT_EQ(sf_readf_float(file, sound.Samples.data(), info.frames), info.frames);
  sf_close(file);
  return sound;
}

std::unique_ptr<Osnova> OneBar() {
  auto doc = std::make_unique<Osnova>(4, 1, 4);
  doc->Kit.fill(1);
  return doc;
}

class AudioExport : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("gl-audio-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    gFailWritesAfterBytes = -1;
    fs::remove_all(dir);
  }
  AudioExportResult Export(const Osnova& doc, const std::string& name, AudioExportSettings settings = {},
                           const AudioProgress& progress = nullptr) {
    error.clear();
    if (settings.Kit == AudioExportSettings{}.Kit) settings.Kit = doc.Kit;
    return ExportAudio(doc, (dir / name).string(), settings, progress, error);
  }
  std::size_t FilesIn() { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {})); }
  std::string Contents(const std::string& name) {
    std::ifstream in(dir / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  fs::path dir;
  std::string error;
};

// Bass drum on every beat at a tempo whose sixteenths are no whole number of frames or
// milliseconds (15000 / 97 = 154.639 ms), the last two accented.
TEST_F(AudioExport, OnsetsLandOnTheirExactFramesAndAccentsAreLouder) {
  auto doc = OneBar();
  for (int p : {0, 4}) doc->Bars[0]->Rows[RowBass].Set(p, 0, 0);
  for (int p : {8, 12}) doc->Bars[0]->Rows[RowBass].Set(p, 0, 1);
  AudioExportSettings settings;
  settings.Tempo = 97;
  ASSERT_EQ(Export(*doc, "beat.wav", settings), AudioExportResult::Done) << error;
  const Sound sound = ReadSound((dir / "beat.wav").string());
  ASSERT_EQ(sound.Rate, kRate);
  ASSERT_EQ(sound.Channels, 2);
  float peaks[4];
  for (int beat = 0; beat < 4; ++beat) {
    const int64_t expected = PositionFrame(4 * beat, 97);
    EXPECT_EQ(expected, std::llround(4 * beat * 15000.0 / 97 * kRate / 1000));
    const int64_t onset = sound.Onset(expected - 10 * kMs, 1e-3f);
    EXPECT_NEAR(onset, expected, kMs) << "beat " << beat;
    peaks[beat] = sound.Peak(expected, expected + 100 * kMs);
  }
  EXPECT_NEAR(peaks[0], peaks[1], peaks[0] * 0.01f);
  EXPECT_NEAR(peaks[2], peaks[3], peaks[2] * 0.01f);
  EXPECT_GT(peaks[2], peaks[0] * 1.2f);
  // The bass drum and its faint room die away quickly: the file ends well inside 4 s of the last beat.
  EXPECT_GT(sound.Frames(), PositionFrame(12, 97) + 20 * kMs);
  EXPECT_LT(sound.Frames(), PositionFrame(12, 97) + 1500 * kMs);
}

// No drift: a note after 1599 sixteenths at tempo 1024 (14.648 ms each, 15 if rounded) is where the
// exact sum puts it.
TEST_F(AudioExport, LateNotesDoNotDrift) {
  auto doc = std::make_unique<Osnova>(4, 100, 4);
  doc->Kit.fill(1);
  doc->Bars[0]->Rows[RowSnare].Set(0, 0, 0);
  doc->Bars[99]->Rows[RowSnare].Set(15, 0, 0);
  AudioExportSettings settings;
  settings.Tempo = 1024;
  ASSERT_EQ(Export(*doc, "long.wav", settings), AudioExportResult::Done) << error;
  const Sound sound = ReadSound((dir / "long.wav").string());
  const int64_t expected = std::llround(1599 * 15000.0 / 1024 * kRate / 1000);
  EXPECT_NEAR(sound.Onset(expected - 20 * kMs, 1e-3f), expected, kMs);
  EXPECT_EQ(sound.Peak(kRate, expected - 2), 0.0f) << "sound between the two notes";
}

TEST_F(AudioExport, RowsTheKitHidesAreSilent) {
  auto doc = OneBar();
  doc->Bars[0]->Rows[RowBass].Set(0, 0, 0);
  doc->Bars[0]->Rows[RowSnare].Set(8, 0, 1);
  doc->Bars[0]->Rows[RowCymbals].Set(12, 0, 1);
  doc->Kit[RowSnare] = 0;
  doc->Kit[RowCymbals] = 0;
  ASSERT_EQ(Export(*doc, "kit.wav"), AudioExportResult::Done) << error;
  const Sound sound = ReadSound((dir / "kit.wav").string());
  ASSERT_GT(sound.Peak(0, 50 * kMs), 0.01f);
  // The file ends with the bass drum, long before the hidden snare's place.
  EXPECT_LT(sound.Frames(), PositionFrame(8, 120));

  // With only hidden rows holding notes there is nothing to render, and no file.
  doc->Bars[0]->Rows[RowBass].Clear();
  EXPECT_EQ(Export(*doc, "none.wav"), AudioExportResult::Failed);
  EXPECT_EQ(error, kSilentSongMessage);
  EXPECT_FALSE(fs::exists(dir / "none.wav"));
}

// A crash rings on over the notes after it, and the file runs on until it has died away, at most
// 4 s after the last note; FLAC holds the WAV's very samples, Ogg the same length.
TEST_F(AudioExport, RingingTailAndTheThreeFormats) {
  auto doc = OneBar();
  doc->Bars[0]->Rows[RowCymbals].Set(0, 0, 1);
  doc->Bars[0]->Rows[RowBass].Set(0, 0, 0);
  doc->Bars[0]->Rows[RowBass].Set(15, 0, 0);
  ASSERT_EQ(Export(*doc, "song.wav"), AudioExportResult::Done) << error;
  ASSERT_EQ(Export(*doc, "song.FLAC"), AudioExportResult::Done) << error;
  ASSERT_EQ(Export(*doc, "song.ogg"), AudioExportResult::Done) << error;
  const Sound wav = ReadSound((dir / "song.wav").string());
  const Sound flac = ReadSound((dir / "song.FLAC").string());
  const Sound ogg = ReadSound((dir / "song.ogg").string());
  const int64_t last = PositionFrame(15, 120);
  EXPECT_GT(wav.Frames(), last + kRate);  // the crash still sounds a second after the last note
  EXPECT_LE(wav.Frames(), last + 4 * kRate);
  EXPECT_GT(wav.Peak(last - 10 * kMs, last), 5e-4f);
  EXPECT_LT(wav.Peak(wav.Frames() - 10 * kMs, wav.Frames()), wav.Peak(0, kRate) * 2e-3f);
  EXPECT_EQ(flac.Rate, kRate);
  EXPECT_EQ(flac.Samples, wav.Samples);
  EXPECT_EQ(ogg.Rate, kRate);
  EXPECT_EQ(ogg.Channels, 2);
  EXPECT_EQ(ogg.Frames(), wav.Frames());
  EXPECT_GT(ogg.Peak(0, kRate), 0.05f);
  EXPECT_EQ(FilesIn(), 3u);
}

TEST_F(AudioExport, CancelLeavesNoFileAndKeepsTheOldOne) {
  auto doc = std::make_unique<Osnova>(4, 20, 4);
  doc->Kit.fill(1);
  for (auto& bar : doc->Bars) bar->Rows[RowSnare].Set(4, 0, 0);
  int calls = 0;
  auto cancelSecond = [&](int64_t done, int64_t total) {
    EXPECT_LE(done, total);
    return ++calls < 2;
  };
  EXPECT_EQ(Export(*doc, "new.wav", {}, cancelSecond), AudioExportResult::Cancelled);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(FilesIn(), 0u);

  std::ofstream(dir / "old.flac") << "old contents";
  calls = 0;
  EXPECT_EQ(Export(*doc, "old.flac", {}, cancelSecond), AudioExportResult::Cancelled);
  EXPECT_EQ(Contents("old.flac"), "old contents");
  EXPECT_EQ(FilesIn(), 1u);
}

TEST_F(AudioExport, FailedWriteKeepsTheOldFileAndSaysWhy) {
  auto doc = OneBar();
  doc->Bars[0]->Rows[RowSnare].Set(0, 0, 0);
  std::ofstream(dir / "old.wav") << "old contents";
  gFailWritesAfterBytes = 5000;
  EXPECT_EQ(Export(*doc, "old.wav"), AudioExportResult::Failed);
  EXPECT_EQ(error, "Input/output error");
  EXPECT_EQ(Contents("old.wav"), "old contents");
  EXPECT_EQ(FilesIn(), 1u);
  gFailWritesAfterBytes = -1;

  EXPECT_EQ(Export(*doc, "no_folder/x.ogg"), AudioExportResult::Failed);
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_EQ(Export(*doc, "x.mp3"), AudioExportResult::Failed);
  EXPECT_EQ(FilesIn(), 1u);

  // Through a link, the file it points to is replaced and the link stays.
  fs::create_symlink("old.wav", dir / "link.wav");
  ASSERT_EQ(Export(*doc, "link.wav"), AudioExportResult::Done) << error;
  EXPECT_TRUE(fs::is_symlink(dir / "link.wav"));
  EXPECT_GT(ReadSound((dir / "old.wav").string()).Frames(), 0);
}

// The bank's cut notes are what the synthesizer plays: an open hi-hat closed by a closed one and a
// crash struck again, rendered directly by FluidSynth, equal the bank's cut sound plus the second
// note's own sound (dry, where rendering alone is exact).
TEST(DrumSoundBankTest, CutNotesMatchTheSynthesizerPlayingThePair) {
  std::string font, error;
  ASSERT_TRUE(FluidSynthDevice::FindConfiguredSoundFont(font, error)) << error;
  DrumSoundBank bank;
  ASSERT_TRUE(bank.Open(font, error, /*effects=*/false)) << error;
  EXPECT_TRUE(bank.Cuts(46, 42));
  EXPECT_TRUE(bank.Cuts(49, 49));
  EXPECT_FALSE(bank.Cuts(38, 36));
  struct Pair {
    uint8_t First, Second;
    int Blocks;
  };
  for (const Pair pair : {Pair{46, 42, 90}, Pair{49, 49, 200}}) {
    auto cut = bank.CutSound(pair.First, 127, pair.Second, 94, pair.Blocks);
    auto second = bank.Sound(pair.Second, 94);
    ASSERT_NE(cut->Samples, bank.Sound(pair.First, 127)->Samples) << "the note was not cut";

    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", kRate);
    fluid_settings_setint(settings, "synth.reverb.active", 0);
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    fluid_synth_t* synth = new_fluid_synth(settings);
    ASSERT_NE(fluid_synth_sfload(synth, font.c_str(), 1), FLUID_FAILED);
    const int at = pair.Blocks * DrumSoundBank::kBlockFrames;
    const int frames = at + static_cast<int>(second->Frames());
    std::vector<float> direct(2 * static_cast<std::size_t>(frames));
    fluid_synth_noteon(synth, 9, pair.First, 127);
    fluid_synth_write_float(synth, at, direct.data(), 0, 2, direct.data(), 1, 2);
    fluid_synth_noteon(synth, 9, pair.Second, 94);
    fluid_synth_write_float(synth, frames - at, direct.data() + 2 * at, 0, 2, direct.data() + 2 * at, 1, 2);
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);

    float worst = 0, peak = 0;
    for (std::size_t i = 0; i < direct.size(); ++i) {
      float mixed = 0;
      if (i < cut->Samples.size()) mixed += cut->Samples[i];
      if (i >= 2 * static_cast<std::size_t>(at)) mixed += second->Samples[i - 2 * static_cast<std::size_t>(at)];
      worst = std::max(worst, std::fabs(mixed - direct[i]));
      peak = std::max(peak, std::fabs(direct[i]));
    }
    EXPECT_LT(worst, 1e-4f) << int{pair.First} << " cut by " << int{pair.Second} << ", peak " << peak;
  }
}

}  // namespace
