#include "ui/note_off_timer.h"

#include <QTimer>

void QtNoteOffScheduler::After(int milliseconds, std::function<void()> action) {
  // Precise: a coarse timer may fire up to 5% late, and the audition should last what it says.
  QTimer::singleShot(milliseconds, Qt::PreciseTimer, &context_, [action = std::move(action)] { action(); });
}
