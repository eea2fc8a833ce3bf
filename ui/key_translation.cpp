#include "ui/key_translation.h"

#include <QGuiApplication>
#include <QKeyEvent>

#include <cstdlib>
#include <xcb/xcb.h>

namespace {

// X modifier state: AltGr is ISO_Level3_Shift, on Mod5 in the standard keymaps; the layout group
// in use is bits 13-14.
constexpr quint32 kAltGrMask = 0x80;
constexpr int kGroupShift = 13;

int LatinLetter(quint32 keysym) {
  if (keysym >= 'a' && keysym <= 'z') return static_cast<int>(keysym - 'a' + 'A');
  if (keysym >= 'A' && keysym <= 'Z') return static_cast<int>(keysym);
  return 0;
}

// The symbols with a code of their own on every Windows layout.
int LayoutIndependentPunctuation(quint32 keysym) {
  switch (keysym) {
    case ',': return 188;
    case '.': return 190;
    case '-': return 189;
    case '+': return 187;
    default: return 0;
  }
}

// The symbol the key gives without Shift in the layout group in use, from the X server's current
// keyboard mapping (one short round trip per key press, and never stale after a layout switch).
// Without an X connection, the event's own keysym, which is the unshifted one unless Shift is held
// (and for a letter Shift only changes the case).
quint32 UnshiftedKeysym(const QKeyEvent& event) {
  const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (xcb_connection_t* connection = x11 ? x11->connection() : nullptr) {
    const auto keycode = static_cast<xcb_keycode_t>(event.nativeScanCode());
    xcb_get_keyboard_mapping_reply_t* reply = xcb_get_keyboard_mapping_reply(
        connection, xcb_get_keyboard_mapping(connection, keycode, 1), nullptr);
    if (reply) {
      const int perKey = reply->keysyms_per_keycode;
      const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
      // The core mapping lists group 1 levels 1-2, then group 2 levels 1-2.
      const int group = static_cast<int>((event.nativeModifiers() >> kGroupShift) & 3);
      int index = 2 * group < perKey ? 2 * group : 0;
      quint32 sym = perKey > 0 ? syms[index] : 0;
      if (sym == 0 && perKey > 0) sym = syms[0];
      std::free(reply);
      if (sym != 0) return sym;
    }
  }
  return event.nativeVirtualKey();
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

int VirtualKeyFromLayout(quint32 keycode, quint32 unshiftedKeysym, quint32 nativeModifiers) {
  const int byPlace = VirtualKeyFromXKeycode(keycode);
  if (byPlace == 0 || (nativeModifiers & kAltGrMask)) return 0;
  if (keycode >= 10 && keycode <= 19) return byPlace;  // the number row
  if (const int letter = LatinLetter(unshiftedKeysym)) return letter;
  if (const int punctuation = LayoutIndependentPunctuation(unshiftedKeysym)) return punctuation;
  return byPlace;
}

int VirtualKeyOf(const QKeyEvent& event) {
  const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
  // X11 and Wayland give the X keycode (evdev code + 8); offscreen and synthetic events give 0.
  if (!keypad && VirtualKeyFromXKeycode(event.nativeScanCode()) != 0)
    return VirtualKeyFromLayout(event.nativeScanCode(), UnshiftedKeysym(event),
                                event.nativeModifiers());
  return VirtualKeyFromQtKey(event.key(), keypad);
}
