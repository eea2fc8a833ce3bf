#include "midi/output/fluid_synth_device.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

namespace {

std::string InstalledSoundFont() {
  std::string path, error;
  EXPECT_TRUE(FluidSynthDevice::FindSoundFont(std::getenv("GROOVELOOM_SOUNDFONT"),
                                              FluidSynthDevice::DefaultSoundFonts(), path, error))
      << error;
  return path;
}

// The reverb tail leaves a residue around 1e-8 even with no note played.
constexpr float kSilence = 1e-4f;

float Peak(const std::vector<float>& samples) {
  float peak = 0;
  for (float s : samples) peak = std::max(peak, std::fabs(s));
  return peak;
}

// A fresh synthesizer per case: rendering is only repeatable from a fresh one.
TEST(FluidSynthDeviceTest, SnareOnChannelTenRendersClearlyAudibleSamples) {
  FluidSynthDevice synth;
  std::string error;
  ASSERT_TRUE(synth.OpenOffline(InstalledSoundFont(), error)) << error;

  std::vector<float> left, right;
  ASSERT_TRUE(synth.Render(2048, left, right));
  EXPECT_LT(Peak(left), kSilence) << "sound before any note";

  synth.Send(0x000000C0);  // the program change that precedes every audition
  synth.Send(0x007F2699);  // accented snare, channel 10
  ASSERT_TRUE(synth.Render(FluidSynthDevice::kSampleRate / 2, left, right));
  EXPECT_GT(Peak(left), 0.05f);
  EXPECT_GT(Peak(right), 0.05f);
  double energy = 0;
  for (float s : left) energy += double(s) * s;
  EXPECT_GT(std::sqrt(energy / left.size()), 0.005);
}

// The way the real-time device loads: the caller goes on at once, notes before the font is in are
// dropped without waiting for it, and rendering meanwhile is safe.
TEST(FluidSynthDeviceTest, BackgroundLoadNeverBlocksTheSenderAndThenSounds) {
  FluidSynthDevice synth;
  std::string error;
  ASSERT_TRUE(synth.OpenOffline(InstalledSoundFont(), error, true)) << error;
  // How long the caller waits is measured by bench/startup.sh, not asserted here.
  std::vector<float> left, right;
  for (int i = 0; i < 20; ++i) {
    synth.Send(0x007F2699);
    synth.Render(256, left, right);
  }

  ASSERT_TRUE(synth.WaitUntilLoaded(std::chrono::seconds(10))) << synth.LoadError();
  synth.Render(FluidSynthDevice::kSampleRate, left, right);  // let anything that did sound die away
  synth.Send(0x007F2699);
  ASSERT_TRUE(synth.Render(FluidSynthDevice::kSampleRate / 2, left, right));
  EXPECT_GT(Peak(left), 0.05f);
  synth.Close();
  EXPECT_FALSE(synth.IsOpen());
}

TEST(FluidSynthDeviceTest, NoteOnWithVelocityZeroAndNoteOffsStaySilent) {
  FluidSynthDevice synth;
  std::string error;
  ASSERT_TRUE(synth.OpenOffline(InstalledSoundFont(), error)) << error;
  synth.Send(0x00002699);  // velocity 0 is a note-off
  synth.Send(0x007F2689);
  synth.Send(0x26);        // a lone data byte: ignored
  std::vector<float> left, right;
  ASSERT_TRUE(synth.Render(FluidSynthDevice::kSampleRate / 4, left, right));
  EXPECT_LT(Peak(left), kSilence);
}

TEST(FluidSynthDeviceTest, MissingOrBrokenFontFailsCleanlyWhetherLoadedNowOrInTheBackground) {
  FluidSynthDevice synth;
  std::string error;
  EXPECT_FALSE(synth.OpenOffline("/nonexistent/font.sf2", error));
  EXPECT_NE(error.find("/nonexistent/font.sf2"), std::string::npos);
  EXPECT_FALSE(synth.IsOpen());

  const auto junk = std::filesystem::temp_directory_path() / ("grooveloom_junk_" + std::to_string(::getpid()) + ".sf2");
  { std::ofstream(junk) << "RIFF....not a soundfont"; }
  error.clear();
  EXPECT_FALSE(synth.OpenOffline(junk.string(), error));
  EXPECT_NE(error.find("Not a SoundFont"), std::string::npos) << error;
  EXPECT_FALSE(synth.IsOpen());
  std::vector<float> left, right;
  EXPECT_FALSE(synth.Render(16, left, right));
  synth.Send(0x007F2699);  // closed: nothing happens

  ASSERT_TRUE(synth.OpenOffline(junk.string(), error, true));
  EXPECT_FALSE(synth.WaitUntilLoaded(std::chrono::seconds(10)));
  EXPECT_NE(synth.LoadError().find("Not a SoundFont"), std::string::npos) << synth.LoadError();
  synth.Send(0x007F2699);  // open but silent
  synth.Close();
  std::filesystem::remove(junk);
}

// Readable files that are no usable soundfont: each failed background load is handed to the
// handler once, with the file's path and what is wrong with it.
TEST(FluidSynthDeviceTest, SoundFontThatFailsInTheBackgroundIsReportedOnceWithPathAndReason) {
  const auto dir = std::filesystem::temp_directory_path() / ("grooveloom_fonts_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string font;
  {
    std::ifstream in(InstalledSoundFont(), std::ios::binary);
    font.assign(std::istreambuf_iterator<char>(in), {});
  }
  ASSERT_GT(font.size(), 4096u);
  std::string corrupted = font;  // whole, with its chunk headers damaged
  for (std::size_t i = 12; i < 4096; i += 5) corrupted[i] = static_cast<char>(i * 37);
  struct Case {
    const char* Name;
    std::string Bytes;
    const char* Reason;
  };
  const Case cases[] = {{"empty.sf2", "", "Not a SoundFont 2 file"},
                        {"truncated.sf2", font.substr(0, font.size() / 2), "SoundFont file size mismatch"},
                        {"corrupted.sf2", corrupted, ": "}};
  for (const Case& c : cases) {
    const auto path = (dir / c.Name).string();
    std::ofstream(path, std::ios::binary) << c.Bytes;
    FluidSynthDevice synth;
    std::mutex lock;
    std::vector<std::string> reported;
    synth.SetLoadFailureHandler([&](const std::string& message) {
      std::lock_guard<std::mutex> guard(lock);
      reported.push_back(message);
    });
    std::string error;
    ASSERT_TRUE(synth.OpenOffline(path, error, true)) << c.Name << ": " << error;
    EXPECT_FALSE(synth.WaitUntilLoaded(std::chrono::seconds(10))) << c.Name;
    // The same font failing again (opened anew) is not a new report.
    ASSERT_TRUE(synth.OpenOffline(path, error, true)) << error;
    EXPECT_FALSE(synth.WaitUntilLoaded(std::chrono::seconds(10)));
    synth.Close();
    std::lock_guard<std::mutex> guard(lock);
    ASSERT_EQ(reported.size(), 1u) << c.Name;
    EXPECT_NE(reported[0].find(path), std::string::npos) << reported[0];
    EXPECT_NE(reported[0].find(c.Reason), std::string::npos) << reported[0];
  }
  std::filesystem::remove_all(dir);
}

TEST(FluidSynthDeviceTest, SoundFontOrderPrefersTheVariableThenTheCandidatesInTurn) {
  const auto dir = std::filesystem::temp_directory_path() / ("grooveloom_sf_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string big = (dir / "FluidR3_GM.sf2").string(), small = (dir / "TimGM6mb.sf2").string(),
                    mine = (dir / "mine.sf2").string();
  for (const auto& p : {small, mine}) std::ofstream(p) << "x";
  std::string path, error;

  EXPECT_TRUE(FluidSynthDevice::FindSoundFont(nullptr, {big, small}, path, error));
  EXPECT_EQ(path, small);  // the large font is not installed
  std::ofstream(big) << "x";
  EXPECT_TRUE(FluidSynthDevice::FindSoundFont("", {big, small}, path, error));
  EXPECT_EQ(path, big);
  EXPECT_TRUE(FluidSynthDevice::FindSoundFont(mine.c_str(), {big, small}, path, error));
  EXPECT_EQ(path, mine);

  // A font asked for by name and missing is an error, not a silent swap.
  path.clear();
  EXPECT_FALSE(FluidSynthDevice::FindSoundFont((dir / "typo.sf2").c_str(), {big, small}, path, error));
  EXPECT_NE(error.find("typo.sf2"), std::string::npos);
  EXPECT_TRUE(path.empty());
  EXPECT_FALSE(FluidSynthDevice::FindSoundFont(nullptr, {(dir / "none.sf2").string(), dir.string()}, path, error));
  EXPECT_FALSE(error.empty());
  std::filesystem::remove_all(dir);
}

}  // namespace
