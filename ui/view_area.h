// The main window's growing view area: the tab view, its scroll bar and the panel below keep
// their places relative to the window's edges as it is resized or maximised, and the window's size
// and the view's zoom are kept in settings.ini.
#pragma once

#include <QObject>
#include <QRect>

class QKeyEvent;
class QWidget;
class TabView;

// Laid out for a client area of 800 x 512 (the window's first size): the view and its scroll bar
// take every added pixel, the bottom panel moves down with the bottom edge.
class GrowingViewArea : public QObject {
 public:
  GrowingViewArea(QWidget* client, QWidget* view, QWidget* scrollBar, QWidget* bottomPanel);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Place();
  QWidget* client_;
  QWidget* view_;
  QWidget* scrollBar_;
  QWidget* bottomPanel_;
  QRect viewAt_, scrollBarAt_, bottomPanelAt_;  // at the first size
};

// The size the window had when it last closed (and whether it was maximised); nothing when no
// valid size was kept.
void RestoreWindowSize(QWidget* window);
void SaveWindowSize(const QWidget* window);

// Zoom keys: Ctrl+plus (or Ctrl+=), Ctrl+minus and Ctrl+0 off the keypad. True when `key` was one
// and the view was zoomed.
bool ZoomKey(TabView* view, const QKeyEvent& key);
// Ctrl+wheel: a step per notch (120 eighths of a degree); a touchpad's small deltas add up to one.
void ZoomWheel(TabView* view, int angleDeltaY);
// A zoom step up (> 0) or down, or back to 100 % (0), kept in settings.ini.
void ZoomView(TabView* view, int steps);
void RestoreZoom(TabView* view);
