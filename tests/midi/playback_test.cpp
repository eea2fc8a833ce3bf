#include "midi/playback.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "tests/midi/fake_play_clock.h"

using namespace std::chrono_literals;

namespace {

// The engine with a fake clock, recording every column with the time it was sent and every step
// posted to the window.
class PlaybackTest : public ::testing::Test {
 protected:
  struct Sent {
    PlayClock::TimePoint At;
    DrumColumn Column;
  };

  void SetUp() override { savedKit = GlobalKit; }
  void TearDown() override {
    engine.Stop();
    GlobalKit = savedKit;
  }

  TMetronom& Engine() { return engine; }

  // Waits (real time, generously) until the run posted its finished step.
  bool WaitFinished() {
    std::unique_lock<std::mutex> guard(recordLock);
    return recorded.wait_for(guard, 10s, [this] { return !steps.empty() && steps.back().Finished; });
  }
  std::vector<Sent> SentColumns() {
    std::lock_guard<std::mutex> guard(recordLock);
    return sent;
  }
  std::vector<PlaybackStep> Steps() {
    std::lock_guard<std::mutex> guard(recordLock);
    return steps;
  }
  std::vector<long> IntervalsMs() {
    std::vector<long> out;
    const auto s = SentColumns();
    for (std::size_t i = 1; i < s.size(); ++i)
      out.push_back(static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(s[i].At - s[i - 1].At).count()));
    return out;
  }
  std::vector<PlayPosition> Positions() {
    std::vector<PlayPosition> out;
    for (const PlaybackStep& s : Steps()) out.push_back(s.At);
    return out;
  }

  Osnova doc{4, 3, 4};  // three 4/4 bars
  std::mutex documentLock;
  FakePlayClock clock;
  std::mutex recordLock;
  std::condition_variable recorded;
  std::vector<Sent> sent;
  std::vector<PlaybackStep> steps;
  std::array<uint8_t, kRowCount> savedKit{};
  TMetronom engine{clock, documentLock, [this] { return &doc; },
                   [this](const DrumColumn& c) {
                     const auto now = clock.Now();
                     std::lock_guard<std::mutex> guard(recordLock);
                     sent.push_back({now, c});
                   },
                   [this](const PlaybackStep& s) {
                     {
                       std::lock_guard<std::mutex> guard(recordLock);
                       steps.push_back(s);
                     }
                     recorded.notify_all();
                   }};
};

TEST_F(PlaybackTest, PlayBarOfTwelvePositionsSoundsTwelveColumnsOnTheGridAndEndsOnItsLast) {
  doc.Bar(1).Reset(3, 4, -1);  // 3/4: 12 positions
  doc.Bar(1).Rows[RowSnare].Set(0, 0, 1);
  doc.Bar(1).Rows[RowBass].Set(11, 0, 0);
  clock.Grant(100);
  ASSERT_TRUE(engine.Play(PlayBar, {1, 0}, 125, false));
  ASSERT_TRUE(WaitFinished());

  const auto columns = SentColumns();
  ASSERT_EQ(columns.size(), 12u);
  EXPECT_EQ(columns[0].Column.Cells[RowSnare], (TNoteCell{0, 1}));
  EXPECT_EQ(columns[11].Column.Cells[RowBass], (TNoteCell{0, 0}));
  EXPECT_EQ(columns[5].Column.Cells[RowSnare].Variant, 255);
  for (std::size_t k = 0; k < columns.size(); ++k)
    EXPECT_EQ(columns[k].At - columns[0].At, std::chrono::milliseconds(125 * k)) << k;
  const auto s = Steps();
  EXPECT_EQ(s.front().Kind, StepKind::Start);
  EXPECT_EQ(s.back().At, (PlayPosition{1, 11}));
  EXPECT_TRUE(engine.Running()) << "running until the window runs Stop";
  engine.Stop();
  EXPECT_FALSE(engine.Running());
}

TEST_F(PlaybackTest, FromTheLastColumnOfTheSongOneColumnSounds) {
  clock.Grant(100);
  ASSERT_TRUE(engine.Play(PlayFromCursor, {2, 15}, 125, false));
  ASSERT_TRUE(WaitFinished());
  EXPECT_EQ(SentColumns().size(), 1u);
  EXPECT_EQ(Steps().back().At, (PlayPosition{2, 15}));
}

TEST_F(PlaybackTest, RowsSwitchedOffInTheKitStaySilent) {
  doc.Bar(0).Rows[RowSnare].Set(0, 0, 0);
  doc.Bar(0).Rows[RowBass].Set(0, 0, 0);
  GlobalKit[RowSnare] = 0;
  clock.Grant(100);
  ASSERT_TRUE(engine.Play(PlayFromCursor, {2, 15}, 125, false));  // the empty last column
  ASSERT_TRUE(WaitFinished());
  engine.Stop();
  const DrumColumn column = TMetronom::ColumnAt(doc.Bar(0), 0);
  EXPECT_EQ(column.Cells[RowSnare].Variant, 255);
  EXPECT_EQ(column.Cells[RowBass].Variant, 0);
}

TEST_F(PlaybackTest, TempoChangeMakesTheFollowingStepsLongerWithoutDrift) {
  clock.Grant(3);
  ASSERT_TRUE(engine.Play(PlayFromCursor, {0, 0}, 125, false));
  ASSERT_TRUE(clock.WaitParked());
  engine.SetStepDelay(250);  // tempo 60
  clock.Grant(3);
  ASSERT_TRUE(clock.WaitParked());
  EXPECT_EQ(IntervalsMs(), (std::vector<long>{125, 125, 125, 250, 250, 250}));
  EXPECT_EQ(engine.StepDelay(), 250);
}

TEST_F(PlaybackTest, ALateWakeUpDoesNotShiftTheColumnsAfterIt) {
  clock.Grant(2);
  ASSERT_TRUE(engine.Play(PlayFromCursor, {0, 0}, 125, false));
  ASSERT_TRUE(clock.WaitParked());
  clock.Advance(165ms);  // the thread wakes 40 ms after the next deadline
  clock.Grant(3);
  ASSERT_TRUE(clock.WaitParked());
  EXPECT_EQ(IntervalsMs(), (std::vector<long>{125, 125, 165, 85, 125, 125}));
}

TEST_F(PlaybackTest, AfterAStallLongerThanAStepANewGridStartsInsteadOfABurst) {
  clock.Grant(1);
  ASSERT_TRUE(engine.Play(PlayFromCursor, {0, 0}, 15, false));
  ASSERT_TRUE(clock.WaitParked());
  clock.Advance(60ms);  // four steps late: caught up at once, on the grid
  clock.Grant(2);
  ASSERT_TRUE(clock.WaitParked());
  EXPECT_EQ(IntervalsMs(), (std::vector<long>{15, 60, 0, 0, 0, 15, 15}));
  clock.Advance(1s);  // a stall
  clock.Grant(2);
  ASSERT_TRUE(clock.WaitParked());
  const auto i = IntervalsMs();
  EXPECT_EQ(std::vector<long>(i.end() - 3, i.end()), (std::vector<long>{1000, 15, 15}));
}

TEST_F(PlaybackTest, SongAndFromCursorLoopBackToTheFirstBar) {
  clock.Grant(49);
  ASSERT_TRUE(engine.Play(PlaySong, {0, 0}, 125, true));
  ASSERT_TRUE(clock.WaitParked());
  auto s = Steps();
  ASSERT_EQ(s.size(), 50u);
  EXPECT_EQ(s[47].At, (PlayPosition{2, 15}));
  EXPECT_EQ(s[48].At, (PlayPosition{0, 0}));
  EXPECT_EQ(s[48].Kind, StepKind::SongLoop);
  EXPECT_EQ(s[49].At, (PlayPosition{0, 1}));
  engine.Stop();

  steps.clear();
  clock.Grant(3);
  ASSERT_TRUE(engine.Play(PlayFromCursor, {2, 14}, 125, true));
  ASSERT_TRUE(clock.WaitParked());
  EXPECT_EQ(Positions(), (std::vector<PlayPosition>{{2, 14}, {2, 15}, {0, 0}, {0, 1}}));
}

TEST_F(PlaybackTest, PlayBarWithLoopRepeatsItsBar) {
  clock.Grant(19);
  ASSERT_TRUE(engine.Play(PlayBar, {1, 0}, 125, true));
  ASSERT_TRUE(clock.WaitParked());
  const auto s = Steps();
  ASSERT_EQ(s.size(), 20u);
  for (std::size_t k = 0; k < s.size(); ++k) EXPECT_EQ(s[k].At, (PlayPosition{1, uint8_t(k % 16)})) << k;
  EXPECT_EQ(s[16].Kind, StepKind::BarLoop);
  EXPECT_FALSE(s.back().Finished);
}

TEST_F(PlaybackTest, APlayWhilePlayingIsIgnored) {
  ASSERT_TRUE(engine.Play(PlayFromCursor, {0, 0}, 125, false));
  EXPECT_FALSE(engine.Play(PlaySong, {2, 0}, 15, true));
  EXPECT_EQ(engine.Mode(), PlayFromCursor);
  EXPECT_EQ(engine.StepDelay(), 125);
}

TEST_F(PlaybackTest, RepositionPlaysTheNewPlaceOnTheSameGridAndOutdatesEarlierSteps) {
  clock.Grant(2);
  ASSERT_TRUE(engine.Play(PlayFromCursor, {0, 0}, 125, false));
  ASSERT_TRUE(clock.WaitParked());
  const uint64_t before = Steps().back().Serial;
  const uint64_t serial = engine.Reposition({2, 4});
  EXPECT_GT(serial, before);
  clock.Grant(2);
  ASSERT_TRUE(clock.WaitParked());
  EXPECT_EQ(Positions(), (std::vector<PlayPosition>{{0, 0}, {0, 1}, {0, 2}, {2, 4}, {2, 5}}));
  EXPECT_EQ(Steps()[3].Serial, serial);
  EXPECT_EQ(IntervalsMs(), (std::vector<long>{125, 125, 125, 125}));
}

TEST_F(PlaybackTest, BarsRemovedOrShortenedUnderPlaybackAreNeverReadPastTheirEnd) {
  clock.Grant(1);
  ASSERT_TRUE(engine.Play(PlayFromCursor, {2, 13}, 125, false));
  ASSERT_TRUE(clock.WaitParked());
  {
    std::lock_guard<std::mutex> edit(documentLock);  // as the window's bar commands do
    doc.Bars.pop_back();
    doc.BarCount = 2;
    doc.Bar(1).Reset(2, 4, -1);  // 8 positions
  }
  clock.Grant(5);
  ASSERT_TRUE(WaitFinished());
  EXPECT_EQ(Steps().back().At, (PlayPosition{1, 7})) << "the last column there is, then the end";
}

// A real clock at the fastest tempo: after Stop returns no message reaches the device, and every
// note-on sent has its note-off.
class CountingLayer : public MidiDeviceLayer {
 public:
  int Count() override { return 1; }
  bool Name(int, std::string& name) override { name = "counter"; return true; }
  bool Open(int) override { return true; }
  void Send(uint32_t msg) override {
    std::lock_guard<std::mutex> guard(lock);
    sent.push_back(msg);
    changed.notify_all();
  }
  void Close() override {}
  std::mutex lock;
  std::condition_variable changed;
  std::vector<uint32_t> sent;
};

TEST(PlaybackStop, NothingIsSentAfterStopReturnsAndNoNoteHangs) {
  CountingLayer layer;
  SetMidiDeviceLayer(&layer);
  TMidiOut out;
  ASSERT_TRUE(OpenMidiDevice(out, 0));
  Osnova doc(4, 2, 4);
  for (int p = 0; p < 16; ++p) doc.Bar(0).Rows[RowHiHat].Set(p, 0, 0);
  std::mutex documentLock;
  SteadyPlayClock clock;
  TMetronom engine(clock, documentLock, [&] { return &doc; },
                   [&](const DrumColumn& c) { PlayDrumColumn(out, c, 0); }, [](const PlaybackStep&) {});
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(engine.Play(PlayBar, {0, 0}, 15, true));
    {
      std::unique_lock<std::mutex> guard(layer.lock);
      const std::size_t from = layer.sent.size();
      ASSERT_TRUE(layer.changed.wait_for(guard, 10s, [&] { return layer.sent.size() >= from + 17 * 3; }));
    }
    engine.Stop();
    std::size_t after;
    {
      std::lock_guard<std::mutex> guard(layer.lock);
      after = layer.sent.size();
    }
    // Had the thread outlived Stop, its next column (15 ms on) would show up while we wait here.
    std::unique_lock<std::mutex> guard(layer.lock);
    EXPECT_FALSE(layer.changed.wait_for(guard, 60ms, [&] { return layer.sent.size() != after; }));
    int open = 0;
    for (uint32_t m : layer.sent) open += (m & 0xFF) == 0x99 ? 1 : (m & 0xFF) == 0x89 ? -1 : 0;
    EXPECT_EQ(open, 0) << "round " << round;
    EXPECT_EQ(layer.sent.size() % 17, 0u) << "whole columns only";
  }
  CloseMidiDevice(out);
  SetMidiDeviceLayer(nullptr);
}

TEST(TClockTest, CountsMinutesAndSecondsAndWrapsAfterAnHour) {
  struct Timer : ClockTimer {
    int interval = 0;
    bool on = false;
    void StartTicking(int ms) override { interval = ms, on = true; }
    void StopTicking() override { on = false; }
  } timer;
  TClock clock;
  clock.Start(timer, 0, 0);
  EXPECT_TRUE(timer.on);
  EXPECT_EQ(timer.interval, 1000);
  EXPECT_EQ(clock.AsText(), "00:00");
  for (int i = 0; i < 60; ++i) clock.Tick();
  EXPECT_EQ(clock.AsText(), "01:00");
  for (int i = 0; i < 127; ++i) clock.Tick();
  EXPECT_EQ(clock.AsText(), "03:07");
  clock.Start(timer, 59, 59);
  clock.Tick();
  EXPECT_EQ(clock.AsText(), "00:00");
  clock.Stop(timer);
  EXPECT_FALSE(timer.on);
}

}  // namespace
