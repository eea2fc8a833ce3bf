// The audition's delayed note-off on a Qt timer: the window keeps handling input during the 100 ms
// instead of spinning in a wait loop.
#pragma once

#include <QObject>

#include "midi/midi_output.h"

class QtNoteOffScheduler : public NoteOffScheduler {
 public:
  // Runs the action on this thread's event loop after the delay.
  void After(int milliseconds, std::function<void()> action) override;

 private:
  QObject context_;  // pending actions are dropped with the scheduler, never run on a dead owner
};
