// The playback engine `TMetronom`: sounds the tab column by column on its own thread, each column on
// an absolute deadline (column k at t0 + the sum of the delays before it), so neither drawing nor a
// busy window can slow the music down or make it wander.
//
// Per step the thread waits for the deadline, reads the column under the document lock (the lock
// every edit of the bars holds), sends it, and posts the position it sounded to the window, which
// moves the cursor box there. The window in turn reports a cursor the user moved (Reposition), and
// playback goes on from there. Qt-free: clock, output and the posting are injected.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "midi/midi_output.h"
#include "midi/play_clock.h"
#include "model/tab_document.h"

enum PlayMode : uint8_t { PlaySong = 0, PlayBar = 1, PlayFromCursor = 2 };

// A column of the song: bar index and position within the bar.
struct PlayPosition {
  uint16_t Bar = 0;
  uint8_t Position = 0;
  bool operator==(const PlayPosition&) const = default;
};

enum class StepKind : uint8_t {
  Start,     // the first column of a start, where the cursor already is
  Forward,   // one position on (into the next bar at a bar's end)
  BarLoop,   // back to the start of the bar (play bar with Loop)
  SongLoop,  // back to the first bar (play song / from cursor with Loop)
};

// What the window hears about each column sounded.
struct PlaybackStep {
  uint64_t Serial = 0;  // the engine's Serial() when the column was chosen; older ones are stale
  PlayPosition At;      // the column that sounded
  StepKind Kind = StepKind::Forward;
  bool Finished = false;  // the last column without Loop: the window runs the Stop command
};

class TMetronom {
 public:
  // Called with the document lock held; null when there is no document.
  using DocumentSource = std::function<const Osnova*()>;
  using ColumnSender = std::function<void(const DrumColumn&)>;
  // Called on the playback thread, with no lock held; must not block on the window (post it).
  using StepPoster = std::function<void(const PlaybackStep&)>;

  TMetronom(PlayClock& clock, std::mutex& documentLock, DocumentSource document, ColumnSender send,
            StepPoster post);
  ~TMetronom();  // stops
  TMetronom(const TMetronom&) = delete;
  TMetronom& operator=(const TMetronom&) = delete;

  // From a play command until Stop (also after the last column sounded, until the window's Stop).
  bool Running() const { return running_.load(); }
  uint8_t Mode() const { return mode_; }
  bool Loop() const { return loop_; }
  uint16_t StepDelay() const;

  // Starts playing at `from`. Ignored (false) while playback runs.
  bool Play(uint8_t mode, PlayPosition from, uint16_t stepDelay, bool loop);
  // Takes effect at once: when it returns nothing more is sent. A column being sent is finished
  // first, so no note is left hanging. Never call it from the step poster.
  void Stop();
  // The delay between columns from now on: the column awaited sounds `milliseconds` after the one
  // before it, and the grid goes on from there.
  void SetStepDelay(uint16_t milliseconds);
  // The user put the cursor elsewhere: the next column sounds there, on the same grid. Steps posted
  // before carry an older serial. Returns the new serial.
  uint64_t Reposition(PlayPosition at);
  uint64_t Serial() const { return serial_.load(); }
  // Whether the last run got real-time priority for its thread (the system decides).
  bool RealTimePriority() const { return realTime_.load(); }

  // One column as playback sounds it: the rows switched off in the global kit stay silent.
  static DrumColumn ColumnAt(const TBar& bar, int position);

 private:
  struct Next {
    PlayPosition At;
    StepKind Kind = StepKind::Forward;
    bool Finished = false;
  };
  Next Following(const Osnova& doc, PlayPosition at) const;
  void Run();

  PlayClock& clock_;
  std::mutex& documentLock_;
  DocumentSource document_;
  ColumnSender send_;
  StepPoster post_;

  mutable std::mutex lock_;  // the fields below; never held while taking documentLock_
  std::condition_variable wake_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<uint64_t> serial_{0};
  std::atomic<bool> realTime_{false};
  bool stop_ = false;
  uint8_t mode_ = PlayFromCursor;
  bool loop_ = false;
  uint16_t stepDelay_ = 125;
  PlayPosition position_;  // the column to sound next
  StepKind kind_ = StepKind::Start;
  bool sounded_ = false;     // a column has sounded since the start
  PlayClock::TimePoint last_;  // deadline of the column sounded last
  PlayClock::TimePoint next_;  // deadline of the column to sound next
};
