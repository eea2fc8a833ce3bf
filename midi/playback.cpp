#include "midi/playback.h"

#include <sys/prctl.h>

#include <algorithm>
#include <limits>

#include "common/short_slices.h"
#include "midi/note_strokes.h"
#include "model/time_feel.h"

namespace {

constexpr int64_t kStallFrames = kFrameRate / 10;  // 100 ms
constexpr int64_t kLongStallFrames = kFrameRate;  // 1 s

}  // namespace

TMetronom::TMetronom(OutputSource output, std::mutex& documentLock, DocumentSource document, StepPoster post,
                     const KitRows* kit)
    : output_(std::move(output)), documentLock_(documentLock), document_(std::move(document)), post_(std::move(post)),
      kit_(kit) {}

TMetronom::~TMetronom() { Stop(); }

int TMetronom::Tempo() const {
  std::lock_guard<std::mutex> guard(lock_);
  return tempo_;
}

int TMetronom::CentiBpmHeard() const {
  std::lock_guard<std::mutex> guard(lock_);
  return centi_;
}

std::string TMetronom::LastError() const {
  std::lock_guard<std::mutex> guard(lock_);
  return lastError_;
}

bool TMetronom::Play(uint8_t mode, PlayPosition from, int tempo, bool loop, const PracticeOptions& practice) {
  if (running_.load()) return false;
  if (thread_.joinable()) thread_.join();  // a run that ended by itself and was never stopped
  TimedOutput& out = output_();
  std::lock_guard<std::mutex> guard(lock_);
  mode_ = mode;
  loop_ = loop;
  tempo_ = std::clamp(tempo, 1, kMaxTempo);
  practice_ = practice;
  practice_.CountInBars = std::clamp(practice_.CountInBars, 0, 2);
  centi_ = StartCentiBpm(practice_, tempo_);
  position_ = from;
  kind_ = StepKind::Start;
  pass_ = 0;
  countInLeft_ = countInTotal_ = 0;
  units_ = lastUnits_ = 0;
  scheduledAny_ = finishedScheduled_ = false;
  posts_.clear();
  stop_ = false;
  lastError_.clear();
  ++serial_;
  running_ = true;
  current_ = &out;
  thread_ = std::thread([this, &out] { Run(&out); });
  return true;
}

void TMetronom::Stop() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (current_) current_->Cancel();
  current_ = nullptr;
  ++serial_;  // steps still on their way to the window are stale
  running_ = false;
}

void TMetronom::SetTempo(int tempo) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    tempo_ = std::clamp(tempo, 1, kMaxTempo);
    centi_ = practice_.Trainer.On ? TrainerCentiBpm(practice_.Trainer, tempo_, pass_) : tempo_ * 100;
    if (scheduledAny_) Reanchor(units_, lastFrame_ + UnitsToFrames(units_ - lastUnits_, centi_));
  }
  wake_.notify_all();
}

void TMetronom::SetClick(ClickMode mode, int volumePercent) {
  std::lock_guard<std::mutex> guard(lock_);
  practice_.Click = mode;
  practice_.ClickVolume = std::clamp(volumePercent, 0, 100);
}

uint64_t TMetronom::Reposition(PlayPosition at) {
  uint64_t serial;
  {
    std::lock_guard<std::mutex> guard(lock_);
    position_ = at;
    kind_ = StepKind::Forward;
    countInLeft_ = 0;
    serial = ++serial_;
  }
  wake_.notify_all();
  return serial;
}

DrumColumn TMetronom::ColumnAt(const TBar& bar, int position, const KitRows& kit) {
  DrumColumn column;
  for (int row = 0; row < kRowCount; ++row) {
    const auto r = static_cast<std::size_t>(row);
    if (kit[r])
      column.Cells[r] = bar.Rows[r].Cells[static_cast<std::size_t>(position)];
    else
      column.Cells[r].Variant = 255;
  }
  column.Foot = kit[RowHiHat] && ((bar.FootNotes >> position) & 1u);
  return column;
}

TMetronom::Next TMetronom::Following(const Osnova& doc, PlayPosition at) const {
  const int last = doc.Bar(at.Bar).Length - 1;
  const bool lastBar = at.Bar + 1 >= doc.BarCount;
  Next next;
  if (at.Position < last) {
    next.At = {at.Bar, static_cast<uint8_t>(at.Position + 1)};
    return next;
  }
  if (practice_.RangeLoop) {
    // Into the range from a bar before it; round again at its last bar (or the song's).
    const uint16_t first = std::min<uint16_t>(practice_.LoopFirst, static_cast<uint16_t>(doc.BarCount - 1));
    if (at.Bar >= practice_.LoopLast || lastBar) {
      next.At = {first, 0};
      next.Kind = StepKind::RangeLoop;
    } else {
      next.At = {static_cast<uint16_t>(at.Bar + 1), 0};
    }
    return next;
  }
  if (mode_ == PlayBar) {
    if (!loop_) next.Finished = true;
    next.At = {at.Bar, 0};
    next.Kind = StepKind::BarLoop;
    return next;
  }
  if (lastBar) {
    // The last position of the song. (Another mode would stay here, as the cursor does.)
    if ((mode_ == PlaySong || mode_ == PlayFromCursor) && !loop_) next.Finished = true;
    next.At = (mode_ == PlaySong || mode_ == PlayFromCursor) ? PlayPosition{} : at;
    next.Kind = StepKind::SongLoop;
    return next;
  }
  next.At = {static_cast<uint16_t>(at.Bar + 1), 0};
  return next;
}

void TMetronom::StartCountIn(const Osnova& doc, PlayPosition at, int bars) {
  const TBar& bar = doc.Bar(at.Bar);
  countInLength_ = std::clamp<int>(bar.Length, 1, kMaxPositions);
  countInBeats_ = 0;
  for (int p = 0; p <= countInLength_; ++p)
    countInUnits_[static_cast<std::size_t>(p)] = PositionUnits(bar, p, doc.Swing);
  for (int p = 0; p < countInLength_; ++p)
    if (ClicksOn(ClickMode::Quarter, bar, p)) countInBeats_ |= uint64_t{1} << p;
  countInBars_ = bars;
  // Starting inside a bar: whole bars, then the beats of this bar up to the start.
  const int partial = std::min<int>(at.Position, countInLength_ - 1);
  countInTotal_ = countInLeft_ = bars * countInLength_ + partial;
}

int64_t TMetronom::HandOverAhead(const TimedOutput& out) const {
  if (!out.PlacesGraceStrokes()) return out.Lookahead();
  return out.Lookahead() + UnitsToFrames(-kEarliestStrokeOffset * kStrokeOffsetUnits, centi_);
}

void TMetronom::ScheduleStep(std::unique_lock<std::mutex>& lock, TimedOutput& out) {
  FrameClock& clock = out.Clock();
  const int64_t now = clock.Now();
  int64_t frame = FrameOfUnits(units_);
  // Late. A short lateness keeps the grid, so what follows is heard on time (no drift): an output
  // that plays at once catches up; on a clock of frames played, where a column in the past could
  // only be cut short, the column stays silent, for up to a second of them, as a metronome would go
  // on. After a longer stall a new grid starts from now.
  const int64_t stall = out.Lookahead() > 0 ? kLongStallFrames : std::max(kStallFrames, SixteenthsToFrames(1, centi_));
  if (frame < now && now - frame > stall) {
    Reanchor(units_, now + HandOverAhead(out));
    frame = FrameOfUnits(units_);
  }
  const bool missed = out.Lookahead() > 0 && frame < now;
  const PlayPosition wanted = position_;
  const uint64_t serial = serial_.load();
  const bool countIn = countInLeft_ > 0;
  const PracticeOptions practice = practice_;
  StepKind kind = countIn ? StepKind::CountIn : kind_;
  TimedColumn column;
  column.Frame = frame;
  column.GridUnits = units_ - anchorUnits_;
  column.CentiBpm = centi_;
  lock.unlock();

  column.ClickVolume = practice.ClickVolume;
  PlayPosition at = wanted;
  Next next;
  bool haveColumn = false;
  int64_t length = kUnitsPerQuarter / 4;  // until the next step: the column's own length
  {
    std::lock_guard<std::mutex> document(documentLock_);
    const Osnova* doc = document_();
    const int bars = doc ? std::min<int>(doc->BarCount, static_cast<int>(doc->Bars.size())) : 0;
    if (bars > 0) {
      // Bars may have been removed or shortened since the position was chosen.
      at.Bar = static_cast<uint16_t>(std::min<int>(at.Bar, bars - 1));
      const TBar& bar = doc->Bar(at.Bar);
      at.Position = static_cast<uint8_t>(std::min<int>(at.Position, std::max(bar.Length - 1, 0)));
      haveColumn = true;
      if (!countIn) {
        column.HasColumn = true;
        column.Column = ColumnAt(bar, at.Position, kit_ ? *kit_ : kFullKit);
        if (ClicksOn(practice.Click, bar, at.Position))
          column.Click = at.Position == 0 ? ClickKind::Accent : ClickKind::Beat;
        length = PositionUnits(bar, at.Position + 1, doc->Swing) - PositionUnits(bar, at.Position, doc->Swing);
        next = Following(*doc, at);
      }
    }
  }

  lock.lock();
  if (stop_) return;
  if (serial_.load() != serial) return;  // the cursor moved meanwhile: its column sounds instead
  int countInLeft = 0;
  if (countIn) {
    // A count-in always clicks the beat, the bar's first beat accented, at least at a volume heard.
    const int index = countInTotal_ - countInLeft_;
    const int full = countInBars_ * countInLength_;
    const int inBar = index < full ? index % countInLength_ : index - full;
    if ((countInBeats_ >> inBar) & 1u) column.Click = inBar == 0 ? ClickKind::Accent : ClickKind::Beat;
    const auto cell = static_cast<std::size_t>(inBar);
    length = countInUnits_[cell + 1] - countInUnits_[cell];
    column.ClickVolume = std::max(practice.ClickVolume, 10);
    countInLeft = --countInLeft_;
  }
  if (haveColumn && !missed && (column.HasColumn || column.Click != ClickKind::None)) {
    lock.unlock();
    out.Schedule(column);
    lock.lock();
  }
  const bool finished = !haveColumn || next.Finished;
  posts_.push_back(PlaybackStep{serial, at, kind, finished, frame, centi_, pass_, countInLeft});
  scheduledAny_ = true;
  lastFrame_ = frame;
  lastUnits_ = units_;
  units_ += std::max<int64_t>(length, 1);
  if (finished) {
    finishedScheduled_ = true;
    return;
  }
  if (countIn) return;
  if (serial_.load() == serial) {
    position_ = next.At;
    kind_ = next.Kind;
  }
  const bool wrap = next.Kind == StepKind::BarLoop || next.Kind == StepKind::SongLoop || next.Kind == StepKind::RangeLoop;
  if (wrap) {
    ++pass_;
    if (practice_.Trainer.On) {
      // The last column of the pass keeps its length; the next pass runs at its own tempo.
      const int64_t wrapFrame = FrameOfUnits(units_);
      centi_ = TrainerCentiBpm(practice_.Trainer, tempo_, pass_);
      Reanchor(units_, wrapFrame);
      if (practice_.Trainer.CountInEachPass) {
        lock.unlock();
        std::lock_guard<std::mutex> document(documentLock_);
        const Osnova* doc = document_();
        lock.lock();
        if (doc && doc->BarCount > 0 && next.At.Bar < doc->BarCount)
          StartCountIn(*doc, next.At, std::max(practice_.CountInBars, 1));
      }
    }
  }
}

void TMetronom::Run(TimedOutput* output) {
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);  // wake at the deadline, not up to 50 us later
  RequestShortTimeSlices(500000);  // and get a processor then, however busy the machine
  TimedOutput& out = *output;
  std::string error;
  const bool begun = out.Begin(error);
  FrameClock& clock = out.Clock();
  std::unique_lock<std::mutex> lock(lock_);
  if (!begun) lastError_ = error;
  Reanchor(0, clock.Now() + HandOverAhead(out));
  if (practice_.CountInBars > 0) {
    lock.unlock();
    std::unique_lock<std::mutex> document(documentLock_);
    const Osnova* doc = document_();
    lock.lock();
    if (doc && doc->BarCount > 0) {
      PlayPosition at = position_;
      at.Bar = std::min<uint16_t>(at.Bar, static_cast<uint16_t>(doc->BarCount - 1));
      StartCountIn(*doc, at, practice_.CountInBars);
    }
  }
  while (!stop_) {
    const int64_t now = clock.Now();
    const int64_t latency = clock.Latency();
    if (!posts_.empty() && posts_.front().Frame + latency <= now) {
      const PlaybackStep step = posts_.front();
      posts_.pop_front();
      lock.unlock();
      post_(step);
      lock.lock();
      if (step.Finished) break;
      continue;
    }
    const int64_t due = FrameOfUnits(units_) - HandOverAhead(out);
    if (!finishedScheduled_ && now >= due) {
      ScheduleStep(lock, out);
      continue;
    }
    int64_t wake = finishedScheduled_ ? std::numeric_limits<int64_t>::max() : due;
    if (!posts_.empty()) wake = std::min(wake, posts_.front().Frame + latency);
    clock.WaitUntil(lock, wake_, wake);
  }
}
