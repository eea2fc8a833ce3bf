// Waiting in UI tests: runs the event loop until a condition holds or a generous deadline
// passes. Use as ASSERT_TRUE(WaitUntil([&] { return ...; })) so a condition that never holds
// fails the GoogleTest test (Qt Test's QTRY_* macros do not).
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <functional>

inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000) {
  QDeadlineTimer deadline(timeoutMs);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QThread::msleep(1);
  }
  return true;
}
