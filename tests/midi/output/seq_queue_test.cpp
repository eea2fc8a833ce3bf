// Playback to an ALSA port through a sequencer queue, with the queue faked (this machine has no
// /dev/snd/seq): every message is put on the queue ahead of time, stamped with the real time of its
// frame, and Stop takes back what has not been delivered.
#include "midi/output/alsa_seq_queue.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "midi/playback.h"
#include "tests/midi/fake_play_clock.h"

namespace {

struct Queued {
  int64_t Nanos;
  std::vector<uint8_t> Bytes;
  int64_t ClockFrame;  // the clock when it was queued
};

class FakeQueue : public SeqQueueLayer {
 public:
  explicit FakeQueue(FakePlayClock& clock, PlayClockFrames& frames) : clock_(clock), frames_(frames) {}
  bool Start(const std::string& destination, std::string& error) override {
    std::lock_guard<std::mutex> guard(lock);
    if (destination.empty()) {
      error = "no port";
      return false;
    }
    started = destination;
    ++starts;
    return true;
  }
  void ScheduleAt(int64_t nanos, const uint8_t* bytes, int length) override {
    std::lock_guard<std::mutex> guard(lock);
    queued.push_back({nanos, std::vector<uint8_t>(bytes, bytes + length), frames_.Now()});
  }
  void Flush() override {}
  void DropPending() override {
    std::lock_guard<std::mutex> guard(lock);
    ++drops;
  }
  void Stop() override {
    std::lock_guard<std::mutex> guard(lock);
    ++stops;
  }
  std::mutex lock;
  std::vector<Queued> queued;
  std::string started;
  int starts = 0, drops = 0, stops = 0;

 private:
  FakePlayClock& clock_;
  PlayClockFrames& frames_;
};

TEST(SeqQueueOutput, StepsGoOnTheQueueAheadStampedWithTheTimeOfTheirFrameAndStopTakesThemBack) {
  FakePlayClock clock;
  PlayClockFrames observer(clock);  // the test's own look at the clock
  auto layer = std::make_unique<FakeQueue>(clock, observer);
  FakeQueue& queue = *layer;
  SeqQueueOutput output(std::move(layer), clock);
  output.SetDestination("Synth:Port 0 128:0");

  Osnova doc(4, 1, 4);
  doc.EditBar(0).Rows[RowBass].Set(0, 0, 1);
  std::mutex documentLock;
  TMetronom engine([&]() -> TimedOutput& { return output; }, documentLock, [&] { return &doc; },
                   [](const PlaybackStep&) {});
  clock.Grant(12);
  ASSERT_TRUE(engine.Play(PlayBar, {0, 0}, 97, true));
  ASSERT_TRUE(clock.WaitParked());
  engine.Stop();

  std::lock_guard<std::mutex> guard(queue.lock);
  EXPECT_EQ(queue.started, "Synth:Port 0 128:0");
  ASSERT_GE(queue.queued.size(), 17u * 3);
  // The first column: program change, the eight note-ons (the accented bass drum among them), the
  // note-offs, all at queue time 0 + the lookahead.
  EXPECT_EQ(queue.queued[0].Bytes, (std::vector<uint8_t>{0xC0, 0}));
  EXPECT_EQ(queue.queued[8].Bytes, (std::vector<uint8_t>{0x99, 36, 127}));
  const int64_t first = queue.queued[0].Nanos;
  EXPECT_EQ(first, SeqQueueOutput::kLookaheadFrames * 1000000000 / kFrameRate);
  for (std::size_t k = 0; k < queue.queued.size() / 17; ++k) {
    const Queued& q = queue.queued[17 * k];
    const int64_t frame = SeqQueueOutput::kLookaheadFrames + SixteenthsToFrames(static_cast<int64_t>(k), 9700);
    EXPECT_EQ(q.Nanos, frame * 1000000000 / kFrameRate) << k;
    EXPECT_LE(q.ClockFrame + SeqQueueOutput::kLookaheadFrames, frame + 1) << "queued a lookahead ahead " << k;
  }
  EXPECT_EQ(queue.drops, 1);
  EXPECT_GE(queue.stops, 1);
}

TEST(SeqQueueOutput, APortThatCannotBeReachedIsReportedAndNothingIsQueued) {
  FakePlayClock clock;
  PlayClockFrames observer(clock);
  auto layer = std::make_unique<FakeQueue>(clock, observer);
  FakeQueue& queue = *layer;
  SeqQueueOutput output(std::move(layer), clock);
  std::string error;
  EXPECT_FALSE(output.Begin(error));
  EXPECT_EQ(error, "no port");
  TimedColumn step;
  step.HasColumn = true;
  output.Schedule(step);
  std::lock_guard<std::mutex> guard(queue.lock);
  EXPECT_TRUE(queue.queued.empty());
}

}  // namespace
