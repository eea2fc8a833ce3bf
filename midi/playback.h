// The playback engine `TMetronom`: sounds the tab column by column on its own thread, on a grid of
// audio frames: a column sounds at anchor + UnitsToFrames(its musical time since the anchor), the
// time taken from its bar's grid and the song's swing (model/time_feel.h), an exact fraction rounded
// once per column, never added up step by step. Each column is handed to a timed
// output a little before its frame (the built-in synthesizer mixes it in at that very frame, an ALSA
// queue delivers it then) and the window hears of it when it is heard.
//
// Per step the thread waits for the output's clock, reads the column under the document lock (the
// lock every edit of the bars holds), adds the metronome click, and hands it over. Around it: a
// count-in, loops over a range of bars, and a speed trainer that raises the tempo pass by pass.
// Qt-free: the output with its clock and the posting are injected.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "midi/midi_output.h"
#include "midi/practice.h"
#include "midi/timed_output.h"
#include "model/tab_document.h"

enum PlayMode : uint8_t { PlaySong = 0, PlayBar = 1, PlayFromCursor = 2 };

// A column of the song: bar index and position within the bar.
struct PlayPosition {
  uint16_t Bar = 0;
  uint8_t Position = 0;
  bool operator==(const PlayPosition&) const = default;
};

enum class StepKind : uint8_t {
  Start,      // the first column of a start, where the cursor already is
  Forward,    // one position on (into the next bar at a bar's end)
  BarLoop,    // back to the start of the bar (play bar with Loop)
  SongLoop,   // back to the first bar (play song / from cursor with Loop)
  RangeLoop,  // back to the first bar of the looped range
  CountIn,    // a beat of the count-in; At is where the music starts
};

// What the window hears about each step, when it is heard.
struct PlaybackStep {
  uint64_t Serial = 0;  // the engine's Serial() when the column was chosen; older ones are stale
  PlayPosition At;      // the column that sounded
  StepKind Kind = StepKind::Forward;
  bool Finished = false;  // the last column without Loop: the window runs the Stop command
  int64_t Frame = 0;      // on the output's clock
  int CentiBpm = 12000;   // the tempo heard, in hundredths of bpm
  int Pass = 0;           // loops completed since the start
  int CountInLeft = 0;    // count-in steps still to come after this one
};

class TMetronom {
 public:
  // Called with the document lock held; null when there is no document.
  using DocumentSource = std::function<const Osnova*()>;
  // The output for a run, asked at each start.
  using OutputSource = std::function<TimedOutput&()>;
  // Called on the playback thread, with no lock held; must not block on the window (post it).
  using StepPoster = std::function<void(const PlaybackStep&)>;

  // `kit`: the rows that play, read under the document lock (none: all of them).
  TMetronom(OutputSource output, std::mutex& documentLock, DocumentSource document, StepPoster post,
            const KitRows* kit = nullptr);
  ~TMetronom();  // stops
  TMetronom(const TMetronom&) = delete;
  TMetronom& operator=(const TMetronom&) = delete;

  // From a play command until Stop (also after the last column sounded, until the window's Stop).
  bool Running() const { return running_.load(); }
  uint8_t Mode() const { return mode_; }
  bool Loop() const { return loop_; }
  int Tempo() const;
  int CentiBpmHeard() const;  // with the speed trainer's share

  // Starts playing at `from` at `tempo` bpm. Ignored (false) while playback runs.
  bool Play(uint8_t mode, PlayPosition from, int tempo, bool loop, const PracticeOptions& practice = {});
  // Takes effect at once: when it returns nothing more is handed over, and what was handed over
  // ahead of its time is taken back. A column being handed over is finished first.
  // Never call it from the step poster.
  void Stop();
  // The tempo from now on: the next column sounds the last column's length at the new tempo after
  // it, and the grid goes on from there.
  void SetTempo(int tempo);
  // The click from the next step on.
  void SetClick(ClickMode mode, int volumePercent);
  // The user put the cursor elsewhere: the next column sounds there, on the same grid. Steps posted
  // before carry an older serial. Returns the new serial.
  uint64_t Reposition(PlayPosition at);
  uint64_t Serial() const { return serial_.load(); }
  // Why the last run's output could not start (empty when it did).
  std::string LastError() const;

  // One column as playback sounds it: the rows switched off in `kit` stay silent.
  static DrumColumn ColumnAt(const TBar& bar, int position, const KitRows& kit);

 private:
  struct Next {
    PlayPosition At;
    StepKind Kind = StepKind::Forward;
    bool Finished = false;
  };
  Next Following(const Osnova& doc, PlayPosition at) const;
  void StartCountIn(const Osnova& doc, PlayPosition at, int bars);
  // How far ahead of its frame a step goes to `out`: its lookahead, and for an output that places
  // grace strokes, the earliest grace stroke's lead at the tempo now.
  int64_t HandOverAhead(const TimedOutput& out) const;
  int64_t FrameOfUnits(int64_t units) const { return anchorFrame_ + UnitsToFrames(units - anchorUnits_, centi_); }
  void Reanchor(int64_t units, int64_t frame) {
    anchorUnits_ = units;
    anchorFrame_ = frame;
  }
  // Schedules step_ (lock_ held on entry and exit; released while reading the document).
  void ScheduleStep(std::unique_lock<std::mutex>& lock, TimedOutput& out);
  void Run(TimedOutput* out);

  OutputSource output_;
  std::mutex& documentLock_;
  DocumentSource document_;
  StepPoster post_;
  const KitRows* kit_;
  TimedOutput* current_ = nullptr;  // the running output

  mutable std::mutex lock_;  // the fields below; never held while taking documentLock_
  std::condition_variable wake_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<uint64_t> serial_{0};
  bool stop_ = false;
  uint8_t mode_ = PlayFromCursor;
  bool loop_ = false;
  int tempo_ = 120;
  int centi_ = 12000;  // hundredths of bpm heard
  PracticeOptions practice_;
  std::string lastError_;
  PlayPosition position_;  // the column to sound next
  StepKind kind_ = StepKind::Start;
  int pass_ = 0;
  // The count-in still to come: the cells of the start bar, `countInBars_` times, then its cells up
  // to the start. It keeps the bar's grid and swing, so the music comes in on time; it clicks the
  // cells in `countInBeats_`.
  int countInLeft_ = 0, countInTotal_ = 0, countInLength_ = 16, countInBars_ = 0;
  uint64_t countInBeats_ = 0;
  std::array<int64_t, kMaxPositions + 1> countInUnits_{};  // each cell's time from the bar's start
  // Musical time (units of model/time_feel.h) since the start: where the next step sounds, and
  // where the step handed over last did.
  int64_t units_ = 0, lastUnits_ = 0;
  int64_t anchorUnits_ = 0, anchorFrame_ = 0;
  int64_t lastFrame_ = 0;  // frame of the step handed over last
  bool scheduledAny_ = false;
  bool finishedScheduled_ = false;
  std::deque<PlaybackStep> posts_;  // handed over, not yet heard
};
