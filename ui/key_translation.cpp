#include "ui/key_translation.h"

#include <QGuiApplication>
#include <QKeyEvent>

namespace {

bool HasXKeycodes() {
  const QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

}  // namespace

int VirtualKeyFromXKeycode(quint32 keycode) {
  // X keycodes 10..61 of a PC keyboard, row by row; 0 where the key is not a character key.
  static constexpr int kMainBlock[] = {
      /* 10 */ '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', 189 /* - */, 187 /* = */,
      /* 22 */ 0 /* Backspace */, 0 /* Tab */,
      /* 24 */ 'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', 219 /* [ */, 221 /* ] */,
      /* 36 */ 0 /* Enter */, 0 /* Ctrl */,
      /* 38 */ 'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K', 'L', 186 /* ; */, 222 /* ' */, 192 /* ` */,
      /* 50 */ 0 /* Shift */, 220 /* \ */,
      /* 52 */ 'Z', 'X', 'C', 'V', 'B', 'N', 'M', 188 /* , */, 190 /* . */, 191 /* / */};
  if (keycode < 10 || keycode > 61) return 0;
  return kMainBlock[keycode - 10];
}

int VirtualKeyFromQtKey(int key, bool keypad) {
  if (keypad) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return 96 + (key - Qt::Key_0);
    switch (key) {
      case Qt::Key_Asterisk: return 106;
      case Qt::Key_Plus: return 107;
      case Qt::Key_Minus: return 109;
      case Qt::Key_Period: case Qt::Key_Comma: return 110;
      case Qt::Key_Slash: return 111;
      default: break;  // navigation keys of the keypad: as the main ones
    }
  }
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return key;
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return key;
  switch (key) {
    // Shifted digits of the US layout.
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '7';
    case Qt::Key_Asterisk: return '8';
    case Qt::Key_ParenLeft: return '9';
    case Qt::Key_ParenRight: return '0';
    // Punctuation, plain and shifted.
    case Qt::Key_Semicolon: case Qt::Key_Colon: return 186;
    case Qt::Key_Equal: case Qt::Key_Plus: return 187;
    case Qt::Key_Comma: case Qt::Key_Less: return 188;
    case Qt::Key_Minus: case Qt::Key_Underscore: return 189;
    case Qt::Key_Period: case Qt::Key_Greater: return 190;
    case Qt::Key_Slash: case Qt::Key_Question: return 191;
    case Qt::Key_QuoteLeft: case Qt::Key_AsciiTilde: return 192;
    case Qt::Key_BracketLeft: case Qt::Key_BraceLeft: return 219;
    case Qt::Key_Backslash: case Qt::Key_Bar: return 220;
    case Qt::Key_BracketRight: case Qt::Key_BraceRight: return 221;
    case Qt::Key_Apostrophe: case Qt::Key_QuoteDbl: return 222;
    // Keys that are the same on every layout.
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: case Qt::Key_Backtab: return 9;
    case Qt::Key_Return: case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    default: break;
  }
  if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return 112 + (key - Qt::Key_F1);
  return 0;
}

int VirtualKeyOf(const QKeyEvent& event) {
  const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
  if (!keypad && HasXKeycodes()) {
    if (int code = VirtualKeyFromXKeycode(event.nativeScanCode())) return code;
  }
  return VirtualKeyFromQtKey(event.key(), keypad);
}
