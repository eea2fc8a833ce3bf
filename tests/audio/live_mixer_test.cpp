// Live playback on the built-in synthesizer against the audio export: the same notes at the same
// frames give the same samples, period by period, and a cancel takes back what has not begun.
#include "audio/live_mixer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "audio/song_mixer.h"
#include "tests/audio/song_frames.h"
#include "midi/playback.h"

namespace {

constexpr int kPeriod = 256;

// A groove that makes the synthesizer cut notes: hi-hats opening and closing, a crash struck twice.
Osnova Groove() {
  Osnova doc(4, 2, 4);
  doc.Kit.fill(1);
  for (uint16_t b = 0; b < 2; ++b) {
    TBar& bar = doc.EditBar(b);
    for (int p = 0; p < 16; p += 2) bar.Rows[RowHiHat].Set(p, p == 6 ? 1 : 0, p == 0);
    bar.Rows[RowSnare].Set(4, 0, 0);
    bar.Rows[RowSnare].Set(12, 0, 1);
    bar.Rows[RowBass].Set(0, 0, 1);
    bar.Rows[RowBass].Set(10, 0, 0);
  }
  doc.EditBar(0).Rows[RowCymbals].Set(0, 0, 1);
  doc.EditBar(0).Rows[RowCymbals].Set(3, 0, 0);
  return doc;
}

class LiveMixerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FluidSynthDevice::FindConfiguredSoundFont(font, error)) << error;
  }
  std::string font, error;
};

TEST_F(LiveMixerTest, PlaybackSoundsExactlyLikeTheExportPeriodByPeriod) {
  const Osnova doc = Groove();
  const int tempo = 97;
  const int64_t length = PositionFrame(32, tempo) + 2 * kFrameRate;

  DrumSoundBank bank;
  ASSERT_TRUE(bank.Open(font, error)) << error;
  SongMixer exported(doc, tempo, doc.Kit, bank);
  std::vector<float> expected(2 * static_cast<std::size_t>(length));
  exported.Mix(expected.data(), static_cast<int>(length));

  LiveMixer live(font);
  ASSERT_TRUE(live.Begin(error)) << error;
  std::vector<TimedColumn> columns;
  for (int k = 0; k < 32; ++k) {
    TimedColumn c;
    c.Frame = PositionFrame(k, tempo);
    c.HasColumn = true;
    c.Column = TMetronom::ColumnAt(doc.Bar(static_cast<uint16_t>(k / 16)), k % 16, kFullKit);
    columns.push_back(c);
  }
  std::vector<float> left(kPeriod), right(kPeriod);
  std::size_t next = 0;
  float worst = 0, peak = 0;
  for (int64_t at = 0; at < length; at += kPeriod) {
    // Handed over a lookahead before their frames, as the playback thread does.
    while (next < columns.size() && columns[next].Frame < at + LiveMixer::kLookaheadFrames) live.Schedule(columns[next++]);
    std::fill(left.begin(), left.end(), 0.0f);
    std::fill(right.begin(), right.end(), 0.0f);
    live.Render(left.data(), right.data(), kPeriod);
    for (int i = 0; i < kPeriod && at + i < length; ++i) {
      const std::size_t e = 2 * static_cast<std::size_t>(at + i);
      worst = std::max({worst, std::fabs(left[static_cast<std::size_t>(i)] - expected[e]),
                        std::fabs(right[static_cast<std::size_t>(i)] - expected[e + 1])});
      peak = std::max(peak, std::fabs(expected[e]));
    }
  }
  EXPECT_GT(peak, 0.1f);
  EXPECT_EQ(worst, 0.0f) << "live and exported samples differ";
  EXPECT_EQ(live.Rendered(), (length + kPeriod - 1) / kPeriod * kPeriod);
  EXPECT_EQ(live.LateNotes(), 0);
}

TEST_F(LiveMixerTest, ACancelSilencesWhatHasNotBegunWhileTheAudioThreadRenders) {
  LiveMixer live(font);
  ASSERT_TRUE(live.Begin(error)) << error;
  std::atomic<bool> stop{false};
  std::atomic<float> loudestAfter{0.0f};
  std::atomic<int64_t> cancelledAt{-1};
  std::thread audio([&] {
    std::vector<float> left(kPeriod), right(kPeriod);
    while (!stop) {
      std::fill(left.begin(), left.end(), 0.0f);
      std::fill(right.begin(), right.end(), 0.0f);
      const int64_t from = live.Rendered();
      live.Render(left.data(), right.data(), kPeriod);
      const int64_t cancelled = cancelledAt.load();
      // A second after the cancel nothing scheduled for then may sound.
      if (cancelled >= 0 && from > cancelled + kFrameRate && from < cancelled + 2 * kFrameRate)
        for (float s : left) loudestAfter = std::max(loudestAfter.load(), std::fabs(s));
      std::this_thread::yield();
    }
  });
  TimedColumn note;
  note.HasColumn = true;
  note.Column.Cells[RowSnare].Variant = 0;
  note.Column.Cells[RowSnare].Accent = 1;
  note.Click = ClickKind::Accent;
  note.Frame = live.Rendered() + 4096;
  live.Schedule(note);
  note.Frame += 3 * kFrameRate / 2;  // well after the cancel below
  live.Schedule(note);
  cancelledAt = live.Rendered();
  live.Cancel();
  while (live.Rendered() < cancelledAt.load() + 2 * kFrameRate + kPeriod) std::this_thread::yield();
  stop = true;
  audio.join();
  EXPECT_EQ(loudestAfter.load(), 0.0f);
}

TEST_F(LiveMixerTest, ARunAsksForTheLargerBufferStartsOnceTheOutputHasItAndGivesItBackAtTheCancel) {
  LiveMixer live(font, 1024);
  EXPECT_EQ(live.BufferFramesWanted(), 0) << "idle: the output's own buffer";
  std::atomic<bool> stop{false};
  std::thread output([&] {
    // An output that takes a while to fill a larger buffer, period by period.
    std::vector<float> left(kPeriod), right(kPeriod);
    int64_t buffer = 1024;
    while (!stop) {
      const int64_t wanted = live.BufferFramesWanted();
      const int64_t target = wanted > 0 ? wanted : 1024;
      buffer += std::clamp<int64_t>(target - buffer, -kPeriod, kPeriod);
      live.Render(left.data(), right.data(), kPeriod);
      live.OutputLatency(buffer);
      std::this_thread::yield();
    }
  });
  // Rendering has begun: the mixer knows the output can change its buffer.
  while (live.Rendered() == 0) std::this_thread::yield();
  ASSERT_TRUE(live.Begin(error)) << error;
  EXPECT_GE(live.Latency(), LiveMixer::kPlayingBufferFrames * 3 / 4) << "the run starts once the buffer is there";
  live.Cancel();
  EXPECT_EQ(live.BufferFramesWanted(), 0);
  stop = true;
  output.join();
}

TEST_F(LiveMixerTest, AStopDropsWhatTheOutputHoldsTheNotesHeardRingOnWithoutAJumpTheOthersAreNeverHeard) {
  LiveMixer live(font);
  ASSERT_TRUE(live.Begin(error)) << error;
  live.BufferFramesWanted();  // rendered by an output that can drop what it holds
  TimedColumn crash, snare;
  crash.HasColumn = snare.HasColumn = true;
  crash.Column.Cells[RowCymbals].Variant = 0;
  snare.Column.Cells[RowSnare].Variant = 0;
  snare.Frame = 3000;
  live.Schedule(crash);
  live.Schedule(snare);
  std::vector<float> left(kPeriod), right(kPeriod);
  for (int i = 0; i < 16; ++i) live.Render(left.data(), right.data(), kPeriod);
  live.Cancel();
  EXPECT_TRUE(live.FlushWanted());
  EXPECT_FALSE(live.FlushWanted()) << "once per stop";
  live.OutputFlushed(2048);  // the output held the last 2048 frames, unplayed
  EXPECT_EQ(live.Rendered(), 2048);

  DrumSoundBank bank;
  ASSERT_TRUE(bank.Open(font, error)) << error;
  const auto sound = bank.Sound(DrumNoteOf(RowCymbals, 0), NoteVelocity(0));
  ASSERT_GT(sound->Frames(), 4096);
  float worst = 0;
  for (int64_t at = 2048; at < 4096; at += kPeriod) {
    std::fill(left.begin(), left.end(), 0.0f);
    std::fill(right.begin(), right.end(), 0.0f);
    live.Render(left.data(), right.data(), kPeriod);
    for (int i = 0; i < kPeriod; ++i) {
      const std::size_t e = 2 * static_cast<std::size_t>(at + i);
      worst = std::max({worst, std::fabs(left[static_cast<std::size_t>(i)] - sound->Samples[e]),
                        std::fabs(right[static_cast<std::size_t>(i)] - sound->Samples[e + 1])});
    }
  }
  EXPECT_EQ(worst, 0.0f) << "the crash rings on from where it was heard, the snare after it is gone";
}

TEST(LiveMixerClock, WhileTheOutputThreadIsHeldUpTheClockRunsOnAsFarAsTheOutputCanTakeAndNeverBack) {
  int64_t micros = 5000000;
  LiveMixer live({}, 4096, [&micros] { return micros; });
  std::vector<float> left(kPeriod), right(kPeriod);
  EXPECT_EQ(live.Now(), 0);
  live.Render(left.data(), right.data(), kPeriod);
  EXPECT_EQ(live.Now(), kPeriod) << "at the period: the frames rendered";
  micros += 10000;
  EXPECT_EQ(live.Now(), kPeriod + 441) << "10 ms later, before the next period";
  micros += 1000000;
  EXPECT_EQ(live.Now(), kPeriod + 4096) << "held up: no further than the output's buffer";
  live.Render(left.data(), right.data(), kPeriod);
  EXPECT_EQ(live.Now(), kPeriod + 4096) << "the output's thread came back: the clock does not go back";
  EXPECT_EQ(live.Rendered(), 2 * kPeriod);
  live.OutputLatency(3000);  // as the output measured it: steps reach the window that much later
  EXPECT_EQ(live.Latency(), 3000);
}

TEST(ClickKeys, TheMetronomeUsesGeneralMidi2KeysWhereTheSoundfontHasThemElseWoodBlocks) {
  std::string font, error;
  ASSERT_TRUE(FluidSynthDevice::FindConfiguredSoundFont(font, error)) << error;
  LiveMixer live(font);
  ASSERT_TRUE(live.Begin(error)) << error;
  DrumSoundBank bank;
  ASSERT_TRUE(bank.Open(font, error)) << error;
  const bool gm2 = bank.Sound(34, 127)->Frames() > 0 && bank.Sound(33, 100)->Frames() > 0;
  EXPECT_EQ(live.AccentKey(), gm2 ? 34 : 76);
  EXPECT_EQ(live.BeatKey(), gm2 ? 33 : 77);
  TimedColumn click;
  click.Click = ClickKind::Beat;
  click.ClickVolume = 50;
  const auto messages = ColumnMessages(click, 34, 33);
  ASSERT_EQ(messages.size(), 2u) << "a count-in step: the click alone";
  EXPECT_EQ(messages[0], PackShortMessage(0x99, 33, 50));
}

}  // namespace

namespace {

TEST(ExportClick, TheClickIsMixedInOnTheBeatsWithTheFirstAccentedAndItsOwnVolume) {
  std::string font, error;
  ASSERT_TRUE(FluidSynthDevice::FindConfiguredSoundFont(font, error)) << error;
  DrumSoundBank bank;
  ASSERT_TRUE(bank.Open(font, error)) << error;
  Osnova doc(4, 1, 4);
  doc.Kit.fill(1);
  doc.EditBar(0).Rows[RowBass].Set(0, 0, 0);
  SongClick click{ClickMode::Quarter, 50, 0, 0};
  FindClickKeys(bank, click.AccentKey, click.BeatKey);
  // Slow enough that no click still rings when the next is struck (a re-struck key cuts the last).
  const int tempo = 30;
  const int64_t beatFrames = SixteenthsToFrames(4, tempo * 100);
  const int64_t length = 5 * beatFrames;
  std::vector<float> with(2 * static_cast<std::size_t>(length)), without(with.size()), expected(with.size());
  SongMixer(doc, tempo, doc.Kit, bank, click).Mix(with.data(), static_cast<int>(length));
  SongMixer(doc, tempo, doc.Kit, bank).Mix(without.data(), static_cast<int>(length));
  for (int beat = 0; beat < 4; ++beat) {
    const auto sound = bank.Sound(beat == 0 ? click.AccentKey : click.BeatKey, beat == 0 ? 127 : 100);
    const std::size_t at = 2 * static_cast<std::size_t>(beat * beatFrames);
    for (std::size_t i = 0; i < sound->Samples.size() && at + i < expected.size(); ++i)
      expected[at + i] += 0.5f * sound->Samples[i];
  }
  float worst = 0;
  for (std::size_t i = 0; i < with.size(); ++i) worst = std::max(worst, std::fabs(with[i] - without[i] - expected[i]));
  EXPECT_LT(worst, 1e-6f);
  EXPECT_EQ(SongNotes(doc, tempo, doc.Kit, click).LastNoteFrame(), 3 * beatFrames) << "the song lasts to its last click";
}

}  // namespace
