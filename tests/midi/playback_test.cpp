#include "midi/playback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "midi/note_strokes.h"
#include "model/expressive_notes.h"
#include "model/time_feel.h"
#include "tests/midi/fake_play_clock.h"

using namespace std::chrono_literals;

namespace {

// A timed output on the fake clock that records every step it is handed, with the clock's frame at
// that moment. `lookahead` 0 is a device that plays at once; more is one that is given steps early.
class RecordingOutput : public TimedOutput {
 public:
  explicit RecordingOutput(PlayClock& clock) : frames(clock) {}
  FrameClock& Clock() override { return frames; }
  int64_t Lookahead() const override { return lookahead; }
  bool PlacesGraceStrokes() const override { return graces; }
  void Schedule(const TimedColumn& step) override {
    const int64_t now = frames.Now();
    std::lock_guard<std::mutex> guard(lock);
    steps.push_back(step);
    handedAt.push_back(now);
  }
  void Cancel() override {
    std::lock_guard<std::mutex> guard(lock);
    ++cancels;
  }
  std::vector<TimedColumn> Steps() {
    std::lock_guard<std::mutex> guard(lock);
    return steps;
  }
  std::vector<int64_t> Frames(bool columnsOnly = true) {
    std::vector<int64_t> out;
    for (const TimedColumn& s : Steps())
      if (s.HasColumn || !columnsOnly) out.push_back(s.Frame);
    return out;
  }

  PlayClockFrames frames;
  int64_t lookahead = 0;
  bool graces = false;
  std::mutex lock;
  std::vector<TimedColumn> steps;
  std::vector<int64_t> handedAt;
  int cancels = 0;
};

std::vector<int64_t> Differences(const std::vector<int64_t>& frames) {
  std::vector<int64_t> out;
  for (std::size_t i = 1; i < frames.size(); ++i) out.push_back(frames[i] - frames[i - 1]);
  return out;
}

class PlaybackTest : public ::testing::Test {
 protected:
  void TearDown() override { engine.Stop(); }

  // Waits (real time, generously) until the run posted its finished step.
  bool WaitFinished() {
    std::unique_lock<std::mutex> guard(recordLock);
    return recorded.wait_for(guard, 10s, [this] { return !steps.empty() && steps.back().Finished; });
  }
  std::vector<PlaybackStep> Steps() {
    std::lock_guard<std::mutex> guard(recordLock);
    return steps;
  }
  std::vector<PlayPosition> Positions() {
    std::vector<PlayPosition> out;
    for (const PlaybackStep& s : Steps())
      if (s.Kind != StepKind::CountIn) out.push_back(s.At);
    return out;
  }
  // The frame `sixteenths` after the first step at a steady tempo, to the nearest frame.
  static int64_t At(int64_t sixteenths, int tempo) { return SixteenthsToFrames(sixteenths, tempo * 100); }

  Osnova doc{4, 3, 4};  // three 4/4 bars
  std::mutex documentLock;
  FakePlayClock clock;
  RecordingOutput output{clock};
  std::mutex recordLock;
  std::condition_variable recorded;
  std::vector<PlaybackStep> steps;
  KitRows kit = kFullKit;  // read by the engine under documentLock
  TMetronom engine{[this]() -> TimedOutput& { return output; }, documentLock, [this] { return &doc; },
                   [this](const PlaybackStep& s) {
                     {
                       std::lock_guard<std::mutex> guard(recordLock);
                       steps.push_back(s);
                     }
                     recorded.notify_all();
                   },
                   &kit};
};

TEST(TempoGrid, ASixteenthIsAnExactFractionOfFramesRoundedOncePerColumn) {
  // 97 bpm: 6819.587... frames a sixteenth; whole milliseconds (155) would drift 62 ms in 20 s.
  for (int64_t k : {1, 2, 3, 129, 1000, 100000})
    EXPECT_EQ(SixteenthsToFrames(k, 9700), (k * 661500 * 2 + 97) / (2 * 97)) << k;
  EXPECT_EQ(SixteenthsToFrames(129, 9700), 879727);  // 20 s of eighths: 19.948 s, not 19.995
  EXPECT_EQ(SixteenthsToFrames(1, 12000), 5513);      // 5512.5: every other step one frame longer
  EXPECT_EQ(SixteenthsToFrames(2, 12000), 11025);
  EXPECT_EQ(SixteenthsToFrames(1, 102400), 646);
}

TEST_F(PlaybackTest, PlayBarOfTwelvePositionsSoundsTwelveColumnsOnTheGridAndEndsOnItsLast) {
  doc.EditBar(1).Reset(3, 4);  // 3/4: 12 positions
  doc.EditBar(1).Rows[RowSnare].Set(0, 0, 1);
  doc.EditBar(1).Rows[RowBass].Set(11, 0, 0);
  clock.Grant(100);
  ASSERT_TRUE(engine.Play(PlayBar, {1, 0}, 97, false));
  ASSERT_TRUE(WaitFinished());

  const auto columns = output.Steps();
  ASSERT_EQ(columns.size(), 12u);
  EXPECT_EQ(columns[0].Column.Cells[RowSnare], (TNoteCell{0, 1}));
  EXPECT_EQ(columns[11].Column.Cells[RowBass], (TNoteCell{0, 0}));
  EXPECT_EQ(columns[5].Column.Cells[RowSnare].Variant, 255);
  for (std::size_t k = 0; k < columns.size(); ++k)
    EXPECT_EQ(columns[k].Frame - columns[0].Frame, At(static_cast<int64_t>(k), 97)) << k;
  const auto s = Steps();
  EXPECT_EQ(s.front().Kind, StepKind::Start);
  EXPECT_EQ(s.back().At, (PlayPosition{1, 11}));
  EXPECT_TRUE(engine.Running()) << "running until the window runs Stop";
  engine.Stop();
  EXPECT_FALSE(engine.Running());
  EXPECT_EQ(output.cancels, 1) << "what was handed over ahead of time is taken back";
}

TEST_F(PlaybackTest, FromTheLastColumnOfTheSongOneColumnSoundsAndHiddenRowsStaySilent) {
  doc.EditBar(2).Rows[RowSnare].Set(15, 0, 0);
  doc.EditBar(2).Rows[RowBass].Set(15, 0, 0);
  kit[RowSnare] = 0;
  clock.Grant(100);
  ASSERT_TRUE(engine.Play(PlayFromCursor, {2, 15}, 120, false));
  ASSERT_TRUE(WaitFinished());
  const auto columns = output.Steps();
  ASSERT_EQ(columns.size(), 1u);
  EXPECT_EQ(columns[0].Column.Cells[RowSnare].Variant, 255);
  EXPECT_EQ(columns[0].Column.Cells[RowBass].Variant, 0);
  EXPECT_EQ(Steps().back().At, (PlayPosition{2, 15}));
}

TEST_F(PlaybackTest, TempoChangeTakesEffectFromTheNextColumnWithoutABurst) {
  clock.Grant(3);
  ASSERT_TRUE(engine.Play(PlayFromCursor, {0, 0}, 120, false));
  ASSERT_TRUE(clock.WaitParked());
  engine.SetTempo(1024);
  clock.Grant(3);
  ASSERT_TRUE(clock.WaitParked());
  EXPECT_EQ(Differences(output.Frames()), (std::vector<int64_t>{5513, 5512, 5513, 646, 646, 646}));
  EXPECT_EQ(engine.Tempo(), 1024);
  EXPECT_EQ(Steps().back().CentiBpm, 102400);
}

TEST_F(PlaybackTest, OnAClockOfFramesPlayedLateColumnsStaySilentOnTheGridAndALongStallMovesTheGridOn) {
  output.lookahead = 2048;
  clock.Grant(1);  // the first column's being heard
  ASSERT_TRUE(engine.Play(PlayFromCursor, {0, 0}, 120, false));
  ASSERT_TRUE(clock.WaitParked());
  clock.Advance(165ms);  // the second column was due 125 ms after the first: 40 ms ago
  clock.Grant(2);
  ASSERT_TRUE(clock.WaitParked());
  auto frames = output.Frames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[1] - frames[0], At(2, 120)) << "the late column is left out, the next one is on the grid";
  ASSERT_GE(Positions().size(), 2u);
  EXPECT_EQ(Positions()[1], (PlayPosition{0, 1})) << "the cursor still passes the silent column";

  clock.Advance(700ms);  // held up past several columns: they stay silent, the grid goes on
  clock.Grant(3);
  ASSERT_TRUE(clock.WaitParked());
  frames = output.Frames();
  ASSERT_GE(frames.size(), 3u);
  const int64_t since = frames.back() - frames[0];
  EXPECT_EQ(since, At((since * 2 + 5512) / 11025, 120)) << "still on the grid";
  EXPECT_GT(frames.back() - frames[1], 30000) << "the columns due while held up were left out";

  clock.Advance(3s);  // the thread was held up far past a second of columns
  clock.Grant(6);
  ASSERT_TRUE(clock.WaitParked());
  const auto steps = output.Steps();
  const auto handed = output.handedAt;
  ASSERT_GE(steps.size(), 4u);
  for (std::size_t k = 0; k < steps.size(); ++k)
    EXPECT_GE(steps[k].Frame - handed[k], 2048) << "every column handed over ahead of its frame " << k;
  for (int64_t d : Differences(output.Frames())) EXPECT_GE(d, 5512) << "no two columns closer than a step";
}

TEST_F(PlaybackTest, AnOutputThatPlacesGraceStrokesGetsEachColumnEarlyEnoughForADragsFirstStroke) {
  output.lookahead = 2048;
  output.graces = true;
  clock.Grant(4);
  ASSERT_TRUE(engine.Play(PlayFromCursor, {0, 0}, 97, false));
  ASSERT_TRUE(clock.WaitParked());
  engine.SetTempo(60);  // a slower tempo: a longer lead from the next column on
  clock.Grant(3);
  ASSERT_TRUE(clock.WaitParked());
  const auto steps = output.Steps();
  const auto handed = output.handedAt;
  ASSERT_GE(steps.size(), 4u);
  for (std::size_t k = 0; k < steps.size(); ++k) {
    EXPECT_EQ(steps[k].StrokeFrame(0), steps[k].Frame);
    EXPECT_GE(steps[k].StrokeFrame(kEarliestStrokeOffset) - handed[k], 2048) << "column " << k;
  }
}

TEST_F(PlaybackTest, ALateWakeUpOfAnOutputThatPlaysAtOnceKeepsTheGridAndAStallStartsANewOne) {
  clock.Grant(2);
  ASSERT_TRUE(engine.Play(PlayFromCursor, {0, 0}, 120, false));
  ASSERT_TRUE(clock.WaitParked());
  clock.Advance(165ms);  // 40 ms after the next column's frame
  clock.Grant(2);
  ASSERT_TRUE(clock.WaitParked());
  auto frames = output.Frames();
  EXPECT_EQ(frames[3] - frames[0], At(3, 120)) << "the late column does not shift the next";
  clock.Advance(1s);  // a stall
  clock.Grant(2);
  ASSERT_TRUE(clock.WaitParked());
  frames = output.Frames();
  const auto d = Differences(frames);
  EXPECT_GE(d[d.size() - 3], 44100);
  EXPECT_EQ(d[d.size() - 2] + d.back(), At(2, 120));
}

TEST_F(PlaybackTest, SongBarAndFromCursorLoopsWrapOnTheGrid) {
  clock.Grant(49);
  ASSERT_TRUE(engine.Play(PlaySong, {0, 0}, 120, true));
  ASSERT_TRUE(clock.WaitParked());
  auto s = Steps();
  ASSERT_EQ(s.size(), 50u);
  EXPECT_EQ(s[47].At, (PlayPosition{2, 15}));
  EXPECT_EQ(s[48].At, (PlayPosition{0, 0}));
  EXPECT_EQ(s[48].Kind, StepKind::SongLoop);
  EXPECT_EQ(s[48].Pass, 1);
  EXPECT_EQ(s[49].Frame - s[0].Frame, At(49, 120));
  engine.Stop();

  steps.clear();
  clock.Grant(3);
  ASSERT_TRUE(engine.Play(PlayFromCursor, {2, 14}, 120, true));
  ASSERT_TRUE(clock.WaitParked());
  EXPECT_EQ(Positions(), (std::vector<PlayPosition>{{2, 14}, {2, 15}, {0, 0}, {0, 1}}));
  engine.Stop();

  steps.clear();
  clock.Grant(19);
  ASSERT_TRUE(engine.Play(PlayBar, {1, 0}, 120, true));
  ASSERT_TRUE(clock.WaitParked());
  s = Steps();
  ASSERT_EQ(s.size(), 20u);
  for (std::size_t k = 0; k < s.size(); ++k) EXPECT_EQ(s[k].At, (PlayPosition{1, uint8_t(k % 16)})) << k;
  EXPECT_EQ(s[16].Kind, StepKind::BarLoop);
  EXPECT_FALSE(s.back().Finished);
}

TEST_F(PlaybackTest, APartLoopPlaysItsBarsAndWrapsWithoutAGapOrADoubleNote) {
  Osnova song(4, 10, 4);
  song.SongParts = {TSongPart{0, "Intro"}, TSongPart{3, "Chorus"}, TSongPart{7, "Outro"}};
  for (int b = 0; b < 10; ++b) song.EditBar(static_cast<uint16_t>(b)).Rows[RowHiHat].Set(0, 0, 0);
  {
    std::lock_guard<std::mutex> guard(documentLock);
    doc = std::move(song);
  }
  const auto range = PartRangeNamed(doc, "Chorus");
  ASSERT_TRUE(range);
  EXPECT_EQ(range->First, 3);
  EXPECT_EQ(range->Last, 6);
  EXPECT_EQ(PartRangeOf(doc, 5)->First, 3);
  PracticeOptions practice;
  practice.RangeLoop = true;
  practice.LoopFirst = range->First;
  practice.LoopLast = range->Last;
  clock.Grant(4 * 16 + 2);
  ASSERT_TRUE(engine.Play(PlaySong, {3, 0}, 120, false, practice));
  ASSERT_TRUE(clock.WaitParked());
  const auto s = Steps();
  ASSERT_EQ(s.size(), 67u);
  EXPECT_EQ(s[63].At, (PlayPosition{6, 15}));
  EXPECT_EQ(s[64].At, (PlayPosition{3, 0}));
  EXPECT_EQ(s[64].Kind, StepKind::RangeLoop);
  EXPECT_FALSE(s.back().Finished);
  const auto frames = output.Frames();
  EXPECT_EQ(frames[64] - frames[63], At(64, 120) - At(63, 120)) << "one step, no gap";
  int hats = 0;
  for (const TimedColumn& c : output.Steps()) hats += c.Column.Cells[RowHiHat].Variant == 0;
  EXPECT_EQ(hats, 5) << "bars 4-7 once, then bar 4 again: no double note at the wrap";
}

TEST_F(PlaybackTest, CountInClicksTheBeatsOfTheStartBarAndTheFirstNoteFollowsWithoutAGap) {
  doc.EditBar(0).Rows[RowSnare].Set(0, 0, 0);
  PracticeOptions practice;
  practice.CountInBars = 1;
  practice.Click = ClickMode::Quarter;
  clock.Grant(16 + 4);
  ASSERT_TRUE(engine.Play(PlayFromCursor, {0, 0}, 120, false, practice));
  ASSERT_TRUE(clock.WaitParked());
  std::vector<std::pair<int64_t, ClickKind>> clicks;
  const auto all = output.Steps();
  const int64_t start = all.front().Frame;
  for (const TimedColumn& c : all)
    if (c.Click != ClickKind::None) clicks.emplace_back(c.Frame - start, c.Click);
  ASSERT_GE(clicks.size(), 5u);
  // 500 ms apart, the first accented, the first note (with the bar's accented click) 500 ms later.
  EXPECT_EQ(clicks[0], std::make_pair(int64_t{0}, ClickKind::Accent));
  EXPECT_EQ(clicks[1], std::make_pair(int64_t{22050}, ClickKind::Beat));
  EXPECT_EQ(clicks[3], std::make_pair(int64_t{66150}, ClickKind::Beat));
  EXPECT_EQ(clicks[4], std::make_pair(int64_t{88200}, ClickKind::Accent));
  // Count-in steps without a click hand nothing over; the first column is the first with notes.
  const auto first = std::find_if(all.begin(), all.end(), [](const TimedColumn& c) { return c.HasColumn; });
  ASSERT_NE(first, all.end());
  EXPECT_EQ(first - all.begin(), 4);
  EXPECT_EQ(first->Frame - start, 88200);
  EXPECT_EQ(first->Column.Cells[RowSnare].Variant, 0);
  EXPECT_EQ(Steps()[15].Kind, StepKind::CountIn);
  EXPECT_EQ(Steps()[16].Kind, StepKind::Start);
  engine.Stop();

  // A 6/8 bar counts six eighths; starting at its fifth sixteenth: a bar, then two more eighths.
  doc.EditBar(1).Reset(6, 8);
  steps.clear();
  output.steps.clear();
  practice.Click = ClickMode::Off;
  clock.Grant(12 + 4 + 1);
  ASSERT_TRUE(engine.Play(PlayFromCursor, {1, 4}, 120, false, practice));
  ASSERT_TRUE(clock.WaitParked());
  std::string marks;
  const auto counted = output.Steps();
  const int64_t from = counted.front().Frame;
  for (const TimedColumn& c : counted)
    if (!c.HasColumn) marks += std::to_string((c.Frame - from) / 11025) + "-ba"[static_cast<int>(c.Click)];
  EXPECT_EQ(marks, "0a1b2b3b4b5b6a7b") << "eighths 11025 frames apart, the bar of the start begun again at 6";
  const auto note = std::find_if(counted.begin(), counted.end(), [](const TimedColumn& c) { return c.HasColumn; });
  ASSERT_NE(note, counted.end());
  EXPECT_EQ(note->Frame - from, At(16, 120));
}

TEST_F(PlaybackTest, ClicksFallOnTheChosenNotesWithTheBarsFirstAccented) {
  doc.EditBar(1).Reset(3, 8);  // 6 positions
  PracticeOptions practice;
  practice.Click = ClickMode::Eighth;
  clock.Grant(21);
  ASSERT_TRUE(engine.Play(PlayFromCursor, {0, 0}, 120, false, practice));
  ASSERT_TRUE(clock.WaitParked());
  std::string marks;
  for (const TimedColumn& c : output.Steps()) marks += "-ba"[static_cast<int>(c.Click)];
  EXPECT_EQ(marks, "a-b-b-b-b-b-b-b-a-b-b-");
  engine.Stop();
  output.steps.clear();
  practice.Click = ClickMode::Quarter;
  clock.Grant(21);
  ASSERT_TRUE(engine.Play(PlayFromCursor, {0, 0}, 120, false, practice));
  ASSERT_TRUE(clock.WaitParked());
  marks.clear();
  for (const TimedColumn& c : output.Steps()) marks += "-ba"[static_cast<int>(c.Click)];
  EXPECT_EQ(marks, "a---b---b---b---a-b-b-") << "a /8 bar's beat is the eighth";
}

TEST_F(PlaybackTest, TheSpeedTrainerRaisesTheTempoEveryFewPassesUpToItsTarget) {
  PracticeOptions practice;
  practice.Trainer = {true, 80, 100, 10, false, 2, false};
  clock.Grant(16 * 7);
  ASSERT_TRUE(engine.Play(PlayBar, {0, 0}, 120, true, practice));
  ASSERT_TRUE(clock.WaitParked());
  const auto frames = output.Frames();
  ASSERT_GE(frames.size(), 16u * 7);
  std::vector<int64_t> passes;
  for (int p = 0; p < 6; ++p) passes.push_back(frames[16 * (p + 1)] - frames[16 * p]);
  // A bar of sixteen sixteenths at 96, 96, 108, 108, 120 and 120 bpm.
  EXPECT_EQ(passes, (std::vector<int64_t>{110250, 110250, 98000, 98000, 88200, 88200}));
  EXPECT_EQ(Steps()[16].CentiBpm, 9600);
  EXPECT_EQ(Steps()[32].CentiBpm, 10800);
  EXPECT_EQ(TrainerCentiBpm({true, 80, 100, 7, true, 1, false}, 100, 5), 10000) << "bpm steps stop at the target";

  // With a count-in before each pass: a bar of clicks between the passes, none lost from the music.
  engine.Stop();
  output.steps.clear();
  practice.Trainer.CountInEachPass = true;
  clock.Grant(16 * 3);
  ASSERT_TRUE(engine.Play(PlayBar, {0, 0}, 120, true, practice));
  ASSERT_TRUE(clock.WaitParked());
  const auto columns = output.Frames();
  const auto everything = output.Frames(false);
  ASSERT_GE(columns.size(), 17u);
  const int64_t wrap = columns[0] + SixteenthsToFrames(16, 9600);
  EXPECT_EQ(columns[16], wrap + SixteenthsToFrames(16, 9600)) << "a bar of count-in, in the next pass's tempo";
  EXPECT_EQ(std::count_if(everything.begin(), everything.end(),
                          [&](int64_t f) { return f >= wrap && f < columns[16]; }),
            4);
}

// At 100 bpm a sixteenth triplet lasts 4410 frames and a 32nd 3307.5: every column lands on its bar's
// grid, rounded once from the start; a flam's grace stroke is a 32nd of real time early in any grid;
// the quarter click falls on the beats of both bars.
TEST_F(PlaybackTest, BarsOfTripletsAndThirtySecondsSoundAtTheirTrueFrames) {
  {
    std::lock_guard<std::mutex> guard(documentLock);
    doc = Osnova(4, 2, 4);
    TBar& triplets = doc.EditBar(0);
    triplets.Grid = BarGrid::SixteenthTriplets;
    triplets.Length = GridLength(4, 4, triplets.Grid);
    triplets.Rows[RowSnare].Set(1, 0, 0);
    triplets.Rows[RowSnare].Cells[1].Style = static_cast<uint8_t>(NoteStyle::Flam);
    TBar& fine = doc.EditBar(1);
    fine.Grid = BarGrid::ThirtySeconds;
    fine.Length = GridLength(4, 4, fine.Grid);
  }
  PracticeOptions practice;
  practice.Click = ClickMode::Quarter;
  clock.Grant(100);
  ASSERT_TRUE(engine.Play(PlaySong, {0, 0}, 100, false, practice));
  ASSERT_TRUE(WaitFinished());
  const auto columns = output.Steps();
  ASSERT_EQ(columns.size(), 24u + 32u);
  std::string clicks;
  for (std::size_t k = 0; k < columns.size(); ++k) {
    const auto j = static_cast<int64_t>(k) - 24;
    const int64_t want = j < 0 ? 4410 * static_cast<int64_t>(k) : 24 * 4410 + (6615 * j + 1) / 2;
    EXPECT_EQ(columns[k].Frame - columns[0].Frame, want) << "column " << k;
    clicks += "-ba"[static_cast<int>(columns[k].Click)];
  }
  EXPECT_EQ(clicks, "a-----b-----b-----b-----a-------b-------b-------b-------");
  EXPECT_EQ(columns[1].StrokeFrame(-1) - columns[0].Frame, 1103) << "4410 - 3307.5, rounded from the start";
}

// Swing 33 % on eighths puts each off-beat 2400 + 792 of the beat's 4800 units late: 17596 frames
// after its beat at 100 bpm, 8864 before the next (about 2:1), the sixteenths between in proportion.
// A count-in keeps the swing: starting on an off-beat, the music comes in a bar and that much later.
TEST_F(PlaybackTest, SwungOffBeatsAndACountInIntoThemLandAtTheSwingRatio) {
  {
    std::lock_guard<std::mutex> guard(documentLock);
    doc = Osnova(4, 1, 4);
    doc.Swing = {33, SwingUnit::Eighths};
  }
  PracticeOptions practice;
  practice.CountInBars = 1;
  clock.Grant(100);
  ASSERT_TRUE(engine.Play(PlayBar, {0, 2}, 100, false, practice));
  ASSERT_TRUE(WaitFinished());
  const auto all = output.Steps();
  std::vector<int64_t> beats, music;
  for (const TimedColumn& c : all) (c.HasColumn ? music : beats).push_back(c.Frame - all.front().Frame);
  EXPECT_EQ(beats, (std::vector<int64_t>{0, 26460, 52920, 79380, 105840})) << "the beats, and the bar begun again";
  ASSERT_EQ(music.size(), 14u);
  const int64_t bar = 4 * 26460;
  // The first sixteenth of a pair lasts 1596 units, the second 1596, the third and fourth 804 each.
  const std::vector<int64_t> inBeat = {0, 8798, 17596, 22028};
  for (int p = 2; p < 16; ++p)
    EXPECT_EQ(music[static_cast<std::size_t>(p - 2)], bar + 26460 * (p / 4) + inBeat[static_cast<std::size_t>(p % 4)]) << p;
}

TEST_F(PlaybackTest, APlayWhilePlayingIsIgnored) {
  ASSERT_TRUE(engine.Play(PlayFromCursor, {0, 0}, 120, false));
  EXPECT_FALSE(engine.Play(PlaySong, {2, 0}, 1024, true));
  EXPECT_EQ(engine.Mode(), PlayFromCursor);
  EXPECT_EQ(engine.Tempo(), 120);
}

TEST_F(PlaybackTest, RepositionPlaysTheNewPlaceOnTheSameGridAndOutdatesEarlierSteps) {
  clock.Grant(2);
  ASSERT_TRUE(engine.Play(PlayFromCursor, {0, 0}, 120, false));
  ASSERT_TRUE(clock.WaitParked());
  const uint64_t before = Steps().back().Serial;
  const uint64_t serial = engine.Reposition({2, 4});
  EXPECT_GT(serial, before);
  clock.Grant(2);
  ASSERT_TRUE(clock.WaitParked());
  EXPECT_EQ(Positions(), (std::vector<PlayPosition>{{0, 0}, {0, 1}, {0, 2}, {2, 4}, {2, 5}}));
  EXPECT_EQ(Steps()[3].Serial, serial);
  EXPECT_EQ(output.Frames().back() - output.Frames().front(), At(4, 120));
}

TEST_F(PlaybackTest, BarsRemovedOrShortenedUnderPlaybackAreNeverReadPastTheirEnd) {
  clock.Grant(1);
  ASSERT_TRUE(engine.Play(PlayFromCursor, {2, 13}, 120, false));
  ASSERT_TRUE(clock.WaitParked());
  {
    std::lock_guard<std::mutex> edit(documentLock);  // as the window's bar commands do
    doc.Bars.erase(doc.Bars.size() - 1);
    doc.BarCount = 2;
    doc.EditBar(1).Reset(2, 4);  // 8 positions
  }
  clock.Grant(5);
  ASSERT_TRUE(WaitFinished());
  EXPECT_EQ(Steps().back().At, (PlayPosition{1, 7})) << "the last column there is, then the end";
}

TEST(PracticeArguments, CommandLineFormsAreReadOrRefusedWithAReason) {
  SpeedTrainer t;
  std::string error;
  ASSERT_TRUE(ParseTrainer("80%:100%:10%:2", t, error));
  EXPECT_EQ(t.FromPercent, 80);
  EXPECT_EQ(t.ToPercent, 100);
  EXPECT_FALSE(t.StepInBpm);
  ASSERT_TRUE(ParseTrainer("70:100:4:3", t, error));
  EXPECT_TRUE(t.StepInBpm);
  EXPECT_EQ(t.Passes, 3);
  for (const char* bad : {"80%:100%:10%", "80%:100%:0%:2", "x:100:5:2", "80%:100%:5%:0", ""})
    EXPECT_FALSE(ParseTrainer(bad, t, error)) << bad;
  BarRange range;
  ASSERT_TRUE(ParseBarRange("4-7", 12, range, error));
  EXPECT_EQ(range.First, 3);
  EXPECT_EQ(range.Last, 6);
  for (const char* bad : {"7-4", "0-3", "4-13", "4", "a-b"}) EXPECT_FALSE(ParseBarRange(bad, 12, range, error)) << bad;
  ClickMode mode;
  EXPECT_TRUE(ParseClickMode("sixteenth", mode, error));
  EXPECT_EQ(mode, ClickMode::Sixteenth);
  EXPECT_FALSE(ParseClickMode("half", mode, error));
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
  for (int p = 0; p < 16; ++p) doc.EditBar(0).Rows[RowHiHat].Set(p, 0, 0);
  std::mutex documentLock;
  SteadyPlayClock clock;
  PlayClockFrames frames(clock);
  DirectTimedOutput direct(frames, [&](const std::vector<uint32_t>& messages) {
    for (uint32_t msg : messages) SendShortMsg(out, msg);
  });
  TMetronom engine([&]() -> TimedOutput& { return direct; }, documentLock, [&] { return &doc; },
                   [](const PlaybackStep&) {});
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(engine.Play(PlayBar, {0, 0}, 1024, true));
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
