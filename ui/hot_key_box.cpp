#include "ui/hot_key_box.h"

#include <QKeyEvent>

#include "ui/key_translation.h"

HotKeyBox::HotKeyBox(QWidget* parent) : QLineEdit(parent) {
  setReadOnly(true);  // no caret, no typing: keys are taken whole
  setContextMenuPolicy(Qt::NoContextMenu);
  setToolTip("Choose a key");
  SetKey(0);
}

void HotKeyBox::SetKey(int code) {
  key_ = code;
  setText(VirtualKeyName(code));
}

bool HotKeyBox::event(QEvent* event) {
  // Every key comes to the box as a key press, none is taken as a shortcut first.
  if (event->type() == QEvent::ShortcutOverride) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Escape && key != Qt::Key_Tab && key != Qt::Key_Backtab) {
      event->accept();
      return true;
    }
  }
  return QLineEdit::event(event);
}

void HotKeyBox::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Shift: case Qt::Key_Control: case Qt::Key_Alt: case Qt::Key_AltGr:
    case Qt::Key_Meta: case Qt::Key_Super_L: case Qt::Key_Super_R:
      event->accept();  // a modifier alone is no key; with a key it is dropped
      return;
    case Qt::Key_Escape:
      event->ignore();  // the dialog's Cancel
      return;
    default:
      break;
  }
  // The physical key, whatever the modifiers made of it (Shift+1 is the key 1).
  SetKey(VirtualKeyOf(*event));
  event->accept();
}

void HotKeyBox::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // Another window becoming active (a message box, another program) is not leaving the box.
  if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
    emit Left();
}

QString VirtualKeyName(int code) {
  if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z')) return QString(QChar(code));
  if (code >= 96 && code <= 105) return QString("Num %1").arg(code - 96);
  if (code >= 112 && code <= 135) return QString("F%1").arg(code - 111);
  switch (code) {
    case 0: return "None";
    case 8: return "Backspace";
    case 9: return "Tab";
    case 13: return "Enter";
    case 27: return "Esc";
    case 32: return "Space";
    case 33: return "Page Up";
    case 34: return "Page Down";
    case 35: return "End";
    case 36: return "Home";
    case 37: return "Left";
    case 38: return "Up";
    case 39: return "Right";
    case 40: return "Down";
    case 45: return "Ins";
    case 46: return "Del";
    case 106: return "Num *";
    case 107: return "Num +";
    case 109: return "Num -";
    case 110: return "Num Del";
    case 111: return "Num /";
    case 186: return ";";
    case 187: return "=";
    case 188: return ",";
    case 189: return "-";
    case 190: return ".";
    case 191: return "/";
    case 192: return "`";
    case 219: return "[";
    case 220: return "\\";
    case 221: return "]";
    case 222: return "'";
    default: return QString("Key %1").arg(code);
  }
}
