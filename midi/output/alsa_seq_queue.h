// Playback to an ALSA sequencer port on time: each step's messages are put on a sequencer queue a
// little ahead, stamped with the real time they are due, and the kernel delivers them then, however
// late the playback thread wakes. RtMidi sends only at once, so this path talks to libasound itself.
// The queue sits behind SeqQueueLayer, so machines without /dev/snd/seq can test what goes on it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "midi/frame_clock.h"
#include "midi/play_clock.h"
#include "midi/timed_output.h"

class SeqQueueLayer {
 public:
  virtual ~SeqQueueLayer() = default;
  // Connects to the destination port ("client:port" as the port's name ends) and starts a queue at
  // real time 0. False with the reason when it cannot.
  virtual bool Start(const std::string& destination, std::string& error) = 0;
  // A short message delivered at `nanos` of queue time.
  virtual void ScheduleAt(int64_t nanos, const uint8_t* bytes, int length) = 0;
  virtual void Flush() = 0;          // hand what was scheduled to the kernel
  virtual void DropPending() = 0;    // events not yet delivered are removed
  virtual void Stop() = 0;           // the queue stops; the connection closes
};

// libasound's sequencer: a client "Grooveloom playback" with one port connected to the destination.
std::unique_ptr<SeqQueueLayer> MakeAlsaSeqQueueLayer();

class SeqQueueOutput : public TimedOutput {
 public:
  static constexpr int64_t kLookaheadFrames = kFrameRate / 10;  // 100 ms: the kernel keeps the time

  // `clock` runs alongside the queue's real time (the system's monotonic clock; a test's).
  SeqQueueOutput(std::unique_ptr<SeqQueueLayer> layer, PlayClock& clock);
  ~SeqQueueOutput() override;
  void SetDestination(const std::string& portName);  // the RtMidi name of the open port

  FrameClock& Clock() override { return frames_; }
  int64_t Lookahead() const override { return kLookaheadFrames; }
  bool Begin(std::string& error) override;  // starts the queue; its time 0 is frame 0
  void Schedule(const TimedColumn& step) override;
  void Cancel() override;  // removes the undelivered events and stops the queue

 private:
  std::unique_ptr<SeqQueueLayer> layer_;
  PlayClockFrames frames_;
  std::string destination_;
  bool started_ = false;
};
