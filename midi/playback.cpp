#include "midi/playback.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>

#include <algorithm>
#include <chrono>

namespace {

// Like an audio thread: on a busy machine a thread of normal priority can wake several milliseconds
// after its deadline. Real-time priority needs the right to it (rtprio limit or CAP_SYS_NICE);
// without it playback runs at normal priority.
bool RaiseThreadPriority() {
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);  // wake at the deadline, not up to 50 us later
  sched_param param{};
  param.sched_priority = std::max(sched_get_priority_min(SCHED_FIFO), 10);
  return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}

constexpr std::chrono::milliseconds kStall{100};

}  // namespace

TMetronom::TMetronom(PlayClock& clock, std::mutex& documentLock, DocumentSource document,
                     ColumnSender send, StepPoster post)
    : clock_(clock),
      documentLock_(documentLock),
      document_(std::move(document)),
      send_(std::move(send)),
      post_(std::move(post)) {}

TMetronom::~TMetronom() { Stop(); }

uint16_t TMetronom::StepDelay() const {
  std::lock_guard<std::mutex> guard(lock_);
  return stepDelay_;
}

bool TMetronom::Play(uint8_t mode, PlayPosition from, uint16_t stepDelay, bool loop) {
  if (running_.load()) return false;
  if (thread_.joinable()) thread_.join();  // a run that ended by itself and was never stopped
  std::lock_guard<std::mutex> guard(lock_);
  mode_ = mode;
  loop_ = loop;
  stepDelay_ = stepDelay;
  position_ = from;
  kind_ = StepKind::Start;
  stop_ = false;
  sounded_ = false;
  ++serial_;
  running_ = true;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void TMetronom::Stop() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  ++serial_;  // steps still on their way to the window are stale
  running_ = false;
}

void TMetronom::SetStepDelay(uint16_t milliseconds) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stepDelay_ = milliseconds;
    if (sounded_) next_ = last_ + std::chrono::milliseconds(milliseconds);
  }
  wake_.notify_all();
}

uint64_t TMetronom::Reposition(PlayPosition at) {
  uint64_t serial;
  {
    std::lock_guard<std::mutex> guard(lock_);
    position_ = at;
    kind_ = StepKind::Forward;
    serial = ++serial_;
  }
  wake_.notify_all();
  return serial;
}

DrumColumn TMetronom::ColumnAt(const TBar& bar, int position) {
  DrumColumn column;
  for (int row = 0; row < kRowCount; ++row) {
    const auto r = static_cast<std::size_t>(row);
    if (GlobalKit[r])
      column.Cells[r] = bar.Rows[r].Cells[static_cast<std::size_t>(position)];
    else
      column.Cells[r].Variant = 255;
  }
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

void TMetronom::Run() {
  realTime_ = RaiseThreadPriority();
  std::unique_lock<std::mutex> lock(lock_);
  next_ = clock_.Now();
  while (!stop_) {
    const PlayClock::TimePoint now = clock_.Now();
    if (now < next_) {
      clock_.WaitUntil(lock, wake_, next_);
      continue;
    }
    // A late wake-up keeps the grid: the missed columns follow at once and the song stays in time.
    // Only a stall (the machine suspended or swapping) starts a new grid from now, rather than a long
    // burst of missed columns.
    const auto step = std::chrono::milliseconds(stepDelay_);
    if (sounded_ && now - next_ > std::max<std::chrono::milliseconds>(step, kStall)) next_ = now;

    const PlayPosition wanted = position_;
    const StepKind kind = kind_;
    const uint64_t serial = serial_.load();
    lock.unlock();

    DrumColumn column;
    PlayPosition at = wanted;
    Next next;
    bool haveColumn = false;
    {
      std::lock_guard<std::mutex> document(documentLock_);
      const Osnova* doc = document_();
      const int bars = doc ? std::min<int>(doc->BarCount, static_cast<int>(doc->Bars.size())) : 0;
      if (bars > 0) {
        // Bars may have been removed or shortened since the position was chosen.
        at.Bar = static_cast<uint16_t>(std::min<int>(at.Bar, bars - 1));
        const TBar& bar = doc->Bar(at.Bar);
        at.Position = static_cast<uint8_t>(std::min<int>(at.Position, std::max(bar.Length - 1, 0)));
        column = ColumnAt(bar, at.Position);
        next = Following(*doc, at);
        haveColumn = true;
      }
    }

    lock.lock();
    if (stop_) break;
    if (serial_.load() != serial) continue;  // the cursor moved meanwhile: its column sounds instead
    lock.unlock();
    if (haveColumn) send_(column);
    post_(PlaybackStep{serial, at, kind, next.Finished || !haveColumn});
    lock.lock();
    if (next.Finished || !haveColumn) break;
    if (serial_.load() == serial) {
      position_ = next.At;
      kind_ = next.Kind;
    }
    sounded_ = true;
    last_ = next_;
    next_ = last_ + std::chrono::milliseconds(stepDelay_);
  }
}
