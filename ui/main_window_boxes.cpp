// The handlers of the window's own boxes: the two tempo boxes, the comment box, the focus of the
// boxes, the scroll bar, and the refresh of the bar controls after the current bar changed.
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QWheelEvent>

#include "midi/step_delay.h"
#include "model/timing_boxes.h"
#include "ui/cp1252.h"
#include "ui/dialogs.h"
#include "layout/cursor_moves.h"
#include "ui/main_window.h"
#include "ui/main_window_playback.h"
#include "ui/main_window_widgets.h"
#include "ui/tab_view.h"
#include "ui/view_area.h"

namespace {

// Focus that moves to another window (a message box, a menu) does not enter or leave a box.
bool IsWindowSwitch(const QEvent* event) {
  const Qt::FocusReason reason = static_cast<const QFocusEvent*>(event)->reason();
  return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
}

bool IsEnter(const QKeyEvent* key) { return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter; }

}  // namespace

bool TFmain::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::FocusIn:
      if (IsWindowSwitch(event)) break;
      if (watched == Ecom) EcomEnter();
      if (watched == cbSong) cbSongEnter();
      break;
    case QEvent::FocusOut: {
      if (IsWindowSwitch(event)) break;
      if (watched == ETempo) ETempoExit();
      if (watched == ESped) ESpedExit();
      if (watched == Ecom) EcomExit();
      if (watched == cbSong) cbSongExit();
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      // Tabbing out of the denominator box hands the keys back to the window (note entry).
      if (watched == Etakt2 && (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason))
        NoControl();
      break;
    }
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      if (watched == cbSong) cbSong->setProperty("Tag", 1);  // a name is being typed
      if (IsEnter(key) && (watched == ETempo || watched == ESped || watched == Ecom || watched == cbSong ||
                           watched == SwingBox)) {
        NoControl();  // leaving the box runs its exit handler
        return true;
      }
      break;
    }
    case QEvent::Wheel:
      // The wheel over the tab scrolls it as over its scroll bar, by the same bar steps.
      if (watched == i1) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {  // Ctrl+wheel zooms
          ZoomWheel(i1, wheel->angleDelta().y());
          return true;
        }
        if (ScrollBar1->isEnabled()) QCoreApplication::sendEvent(ScrollBar1, event);
        return true;
      }
      break;
    case QEvent::MouseButtonPress:
      if (watched == Panel7) NoControl();
      break;
    case QEvent::MouseButtonDblClick:
      if (watched == cbSong->lineEdit()) {
        cbSongDblClick();
        return true;
      }
      break;
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Tempo boxes.

void TFmain::ETempoExit() {
  bool ok = false;
  const int value = ETempo->RawText().trimmed().toInt(&ok);
  // The file and the exports carry 1..1024 only, so a tempo outside the box's range is refused
  // like a text.
  if (!ok || value < 1 || value > kMaxTempo) {
    dialogs_.Message(this, DialogService::Icon::Warning, "Warning", kNotANumberMessage);
    ETempo->ShowValue(ESped->value());
    ETempo->setFocus(Qt::OtherFocusReason);
    return;
  }
  ETempo->ShowValue(value);
  // One tempo for the user: the song's tempo is also what playback plays from now on.
  if (ESped->value() != value) {
    ESped->ShowValue(value);
    SetPlaybackTempo();
  }
  if (!DocumentShown()) return;  // nothing to change before the first New or Open
  session_.SetTempo(static_cast<uint16_t>(value));
}

void TFmain::ESpedExit() {
  bool ok = false;
  const int value = ESped->RawText().trimmed().toInt(&ok);
  if (!ok) {
    dialogs_.Message(this, DialogService::Icon::Warning, "Warning", kNotANumberMessage);
    ESped->ShowValue(ETempo->value());
    ESped->setFocus(Qt::OtherFocusReason);
    return;
  }
  ESped->ShowValue(value);  // kept within 1..1024 by the box
  SetPlaybackTempo();
}

// ---------------------------------------------------------------------------------------------
// Comment box.

void TFmain::EcomEnter() {
  if (!DocumentShown()) return;
  Push("comment");
  TextEditBar = Document()->CurrentBar;
  Ecom->SetTypingLimit(Document()->Current().Length);
}

void TFmain::EcomChange(const QString& text) {
  if (!DocumentShown()) return;
  session_.SetComment(ToCp1252(text));
}

void TFmain::EcomExit() {
  const int32_t edited = TextEditBar;
  TextEditBar = -1;
  Ecom->SetTypingLimit(-1);
  if (!DocumentShown()) return;
  // The box is also left when the current bar changes under it; the comment typed belongs to the
  // bar it was typed on, drawn where that bar still is in view.
  if (edited >= Document()->FirstVisibleBar && edited <= Document()->LastVisibleBar && edited < Document()->BarCount &&
      edited != Document()->CurrentBar)
    i1->DrawComment(*Document(), Document()->Bar(edited));
  DrawCurrentComment();
}

void TFmain::SpeedButton12Click() {
  if (!DocumentShown()) return;
  Push("clear comment");
  Ecom->clear();  // EcomChange empties the comment
  DrawCurrentComment();
}

void TFmain::SetCommentBox(const std::string& comment) { Ecom->ShowText(FromCp1252(comment)); }

void TFmain::DrawCurrentComment() { i1->DrawComment(*Document(), Document()->Current()); }

// ---------------------------------------------------------------------------------------------
// Scroll bar and the bar controls.

void TFmain::SetScrollBar(int max, int position) {
  const QSignalBlocker block(ScrollBar1);
  ScrollBar1->setMaximum(max);
  ScrollBar1->setValue(position);
}

void TFmain::ScrollBar1Change(int position) {
  if (!DocumentShown() || !Cursor()) return;
  const int d = (position - 1) - Document()->CurrentBar;
  if (d == 0) return;
  ToggleCursorBox();  // hidden while the cursor moves
  MoveBars(*Document(), *Cursor(), *i1, d);  // a drag to the end of a long song repaints once
  RefreshBarControls();
  NoControl();
}

void TFmain::ShowTimingOf(const TBar& bar) {
  const QSignalBlocker blockNumerator(ETakt1);
  const QSignalBlocker blockDenominator(Etakt2);
  // A bar longer than 16 beats (an imported 17/16) gets one item past the list, only while shown.
  constexpr int kListed = 16;
  if (const int beyond = NumeratorBeyondList(bar)) {
    if (ETakt1->count() == kListed) ETakt1->addItem(QString());
    ETakt1->setItemText(kListed, QString::number(beyond));
  } else if (ETakt1->count() > kListed) {
    ETakt1->removeItem(kListed);
  }
  ETakt1->setCurrentIndex(NumeratorBoxIndex(bar));
  Etakt2->setCurrentIndex(DenominatorBoxIndex(bar));
  const QSignalBlocker blockGrid(GridBox);
  GridBox->setCurrentIndex(static_cast<int>(bar.Grid));
}

void TFmain::ShowSwingOf(const Osnova& doc) {
  const QSignalBlocker blockPercent(SwingBox);
  const QSignalBlocker blockUnit(SwingUnitBox);
  SwingBox->setValue(doc.Swing.Percent);
  SwingUnitBox->setCurrentIndex(static_cast<int>(doc.Swing.Unit));
}

void TFmain::SwingChange() {
  if (!DocumentShown()) return;
  SongSwing swing;
  swing.Percent = static_cast<uint8_t>(SwingBox->value());
  swing.Unit = SwingUnitBox->currentIndex() == 1 ? SwingUnit::Sixteenths : SwingUnit::Eighths;
  // The unit list can be chosen again without a change: that is no edit.
  if (swing != Document()->Swing) session_.SetSwing(swing);
  NoControl();
  ShowModifiedMarker();
}

void TFmain::RefreshBarControls() {
  const TBar& bar = Document()->Current();
  EAbar->setValue(Document()->CurrentBar);
  ShowTimingOf(bar);
  SetScrollBar(Document()->BarCount, Document()->CurrentBar + 1);
  SetCommentBox(bar.Comment);
  SongPart(Document()->CurrentBar);
  ToggleCursorBox();
}

void TFmain::ToggleCursorBox() {
  if (Document() && Cursor()) i1->ToggleCursorBox(*Document(), *Cursor());
  FollowUserCursor();
}
