#include "ui/view_area.h"

#include <QEvent>
#include <QKeyEvent>
#include <QWidget>
#include <algorithm>

#include "ui/extended_settings.h"
#include "ui/tab_view.h"

namespace {

constexpr int kFirstClientWidth = 800;
constexpr int kFirstClientHeight = 512;

}  // namespace

GrowingViewArea::GrowingViewArea(QWidget* client, QWidget* view, QWidget* scrollBar,
                                 QWidget* bottomPanel)
    : QObject(client),
      client_(client),
      view_(view),
      scrollBar_(scrollBar),
      bottomPanel_(bottomPanel),
      viewAt_(view->geometry()),
      scrollBarAt_(scrollBar->geometry()),
      bottomPanelAt_(bottomPanel->geometry()) {
  client->installEventFilter(this);
}

bool GrowingViewArea::eventFilter(QObject* watched, QEvent* event) {
  if (watched == client_ && event->type() == QEvent::Resize) Place();
  return false;
}

void GrowingViewArea::Place() {
  const int dw = std::max(client_->width() - kFirstClientWidth, 0);
  const int dh = std::max(client_->height() - kFirstClientHeight, 0);
  view_->setGeometry(viewAt_.adjusted(0, 0, dw, dh));
  scrollBar_->setGeometry(scrollBarAt_.translated(dw, 0).adjusted(0, 0, 0, dh));
  bottomPanel_->setGeometry(bottomPanelAt_.translated(0, dh));
}

void RestoreWindowSize(QWidget* window) {
  const ExtendedSettings settings;
  if (settings.Has(settings_keys::kWindowWidth) && settings.Has(settings_keys::kWindowHeight))
    window->resize(QSize(settings.Value(settings_keys::kWindowWidth),
                         settings.Value(settings_keys::kWindowHeight))
                       .expandedTo(window->minimumSize()));
  if (settings.Value(settings_keys::kWindowMaximized))
    window->setWindowState(window->windowState() | Qt::WindowMaximized);
}

void SaveWindowSize(const QWidget* window) {
  ExtendedSettings settings;
  // Maximised, the size to come back to is the normal one.
  const bool maximized = window->isMaximized();
  const QSize size = maximized ? window->normalGeometry().size() : window->size();
  if (size.isValid()) {
    settings.Set(settings_keys::kWindowWidth, size.width());
    settings.Set(settings_keys::kWindowHeight, size.height());
  }
  settings.Set(settings_keys::kWindowMaximized, maximized);
  settings.Sync();
}

bool ZoomKey(TabView* view, const QKeyEvent& key) {
  const Qt::KeyboardModifiers mods =
      key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::KeypadModifier);
  // Shift is allowed: on many layouts plus is a shifted key.
  if (!(mods & Qt::ControlModifier) || (mods & (Qt::AltModifier | Qt::KeypadModifier))) return false;
  switch (key.key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: ZoomView(view, 1); return true;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: ZoomView(view, -1); return true;
    case Qt::Key_0:
    case Qt::Key_ParenRight: ZoomView(view, 0); return true;
    default: return false;
  }
}

void ZoomWheel(TabView* view, int angleDeltaY) {
  constexpr int kNotch = 120;
  const char* rest = "zoomWheelRest";
  int delta = view->property(rest).toInt() + angleDeltaY;
  const int steps = delta / kNotch;
  delta -= steps * kNotch;
  view->setProperty(rest, delta);
  if (steps != 0) ZoomView(view, steps);
}

void ZoomView(TabView* view, int steps) {
  view->ZoomBy(steps);
  ExtendedSettings settings;
  settings.Set(settings_keys::kZoomPercent, view->ZoomPercent());
  settings.Sync();
}

void RestoreZoom(TabView* view) {
  view->SetZoomPercent(ExtendedSettings().Value(settings_keys::kZoomPercent));
}
