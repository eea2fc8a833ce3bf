// Qt key events to Windows virtual-key codes, the codes the key map and the options file hold.
//
// The code follows the physical key, not the character the layout and Shift make of it: Shift+1 is
// key 49 with Shift, whether the layout gives '!' or '1'. On X11 and Wayland the event's native scan
// code is the X keycode (evdev code + 8), which names the key's place on the keyboard, so the letter,
// digit and punctuation block is read from it with the US placement of the Windows codes. Qt::Key
// (and nativeVirtualKey(), which on X11 is the keysym and so already depends on Shift and the
// layout) cannot give that. Keys whose code does not depend on the layout (arrows, Insert, Delete,
// Tab, Enter, the keypad, function keys) and platforms without scan codes (offscreen) go by
// Qt::Key, with the shifted symbols of the US layout mapped back to their keys.
#pragma once

#include <QtGlobal>

class QKeyEvent;

// 0 when the key has no code the program uses.
int VirtualKeyOf(const QKeyEvent& event);

// The two halves, exposed for tests: the X keycode of the main block (0 if not one of its keys),
// and the Qt::Key mapping (keypad: whether the key came from the numeric keypad).
int VirtualKeyFromXKeycode(quint32 keycode);
int VirtualKeyFromQtKey(int key, bool keypad);
