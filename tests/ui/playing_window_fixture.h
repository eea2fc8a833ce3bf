// The window with a new song, playing on a clock the test advances.
#pragma once

#include <QCoreApplication>
#include <memory>

#include "tests/midi/fake_play_clock.h"
#include "tests/ui/main_window_fixture.h"

class PlayingWindowTest : public MainWindowTest {
 protected:
  TFmain& Ready(int tickMilliseconds = 1000) {
    TFmain& w = Window();
    auto fake = std::make_unique<FakePlayClock>();
    clock = fake.get();
    w.SetPlayClock(std::move(fake), tickMilliseconds);
    w.NewDocument();
    return w;
  }
  // Lets `columns` more columns sound and the window catch up with them.
  void Play(int columns) {
    clock->Grant(columns);
    ASSERT_TRUE(clock->WaitParked());
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
  FakePlayClock* clock = nullptr;
};
