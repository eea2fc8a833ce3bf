// Qt key events to Windows virtual-key codes, the codes the key map and the options file hold.
//
// The code follows the key as Windows gives it on the active layout. A key whose unshifted symbol
// in the layout is a Latin letter gives that letter's code (the key that types "z" is 90 on
// every layout); the number row gives 48..57 by its place (so AZERTY digits work unshifted); a key
// whose unshifted symbol is ',' '.' '-' or '+' gives that symbol's code, as on every Windows
// layout; every other key of the main block goes by its place on a US keyboard. Shift never
// changes the code, and AltGr (its own modifier here, not Ctrl+Alt) makes no code in the main
// block, so AltGr plus a note key types its symbol elsewhere but never enters a note.
//
// Where the event carries its X keycode (X11, Wayland) the key's unshifted symbol is read from the
// server's current keymap; without a keymap to ask, the event's own keysym stands in. Keys whose
// code does not depend on the layout (arrows, Insert, Delete, Tab, Enter, the keypad, function
// keys) and events without a keycode (offscreen, synthetic) go by Qt::Key, with the shifted
// symbols of the US layout mapped back to their keys.
#pragma once

#include <QtGlobal>

class QKeyEvent;

// 0 when the key has no code the program uses.
int VirtualKeyOf(const QKeyEvent& event);

// The parts, exposed for tests.
// The US place of an X keycode of the main block (0 if not one of its keys).
int VirtualKeyFromXKeycode(quint32 keycode);
// A main-block key from its X keycode, the keysym it gives unshifted in the active layout and the
// X modifier state (for AltGr); 0 for other keys.
int VirtualKeyFromLayout(quint32 keycode, quint32 unshiftedKeysym, quint32 nativeModifiers);
// The Qt::Key mapping (keypad: whether the key came from the numeric keypad).
int VirtualKeyFromQtKey(int key, bool keypad);
