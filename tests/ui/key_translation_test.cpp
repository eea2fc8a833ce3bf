#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QKeyEvent>

#include "ui/key_translation.h"

TEST(KeyTranslation, PhysicalKeysOfTheMainBlock) {
  // X keycodes are evdev codes + 8: the digit row starts at 10, Q at 24, A at 38, Z at 52.
  EXPECT_EQ(VirtualKeyFromXKeycode(10), '1');
  EXPECT_EQ(VirtualKeyFromXKeycode(19), '0');
  EXPECT_EQ(VirtualKeyFromXKeycode(24), 'Q');
  EXPECT_EQ(VirtualKeyFromXKeycode(39), 'S');
  EXPECT_EQ(VirtualKeyFromXKeycode(52), 'Z');
  EXPECT_EQ(VirtualKeyFromXKeycode(58), 'M');
  EXPECT_EQ(VirtualKeyFromXKeycode(59), 188);  // comma
  EXPECT_EQ(VirtualKeyFromXKeycode(60), 190);  // full stop
  EXPECT_EQ(VirtualKeyFromXKeycode(20), 189);
  EXPECT_EQ(VirtualKeyFromXKeycode(47), 186);
  EXPECT_EQ(VirtualKeyFromXKeycode(49), 192);
  EXPECT_EQ(VirtualKeyFromXKeycode(51), 220);
  // Not character keys: Tab, Enter, Shift, and keys outside the block.
  for (quint32 k : {0u, 9u, 23u, 36u, 50u, 62u, 113u}) EXPECT_EQ(VirtualKeyFromXKeycode(k), 0) << k;
}

TEST(KeyTranslation, QtKeysWithShiftedSymbolsBackToTheirKeys) {
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_S, false), 'S');
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Exclam, false), '1');
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_ParenRight, false), '0');
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Greater, false), 190);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Period, false), 190);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Less, false), 188);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_BraceLeft, false), 219);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_QuoteDbl, false), 222);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Left, false), 37);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Right, false), 39);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Insert, false), 45);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Delete, false), 46);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Backtab, false), 9);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Enter, false), 13);
  // The keypad has codes of its own, so its digits never set notes mapped to the digit row.
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_1, true), 97);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Plus, true), 107);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Left, true), 37);
  EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_unknown, false), 0);
}

// X keycodes of the keys named below, as on every PC keyboard.
enum : quint32 { kDigit1 = 10, kDigit2 = 11, kDigit0 = 19, kMinusKey = 20, kQ = 24, kW = 25,
                 kY = 29, kBracketRight = 35, kA = 38, kSemicolon = 47, kZ = 52, kM = 58,
                 kComma = 59, kPeriod = 60, kSlash = 61 };

struct LayoutKey {
  quint32 Keycode;
  quint32 Unshifted;  // the keysym the layout gives without Shift
  int Code;           // what Windows gives for that key on that layout
};

// The German layout (QWERTZ): Z and Y swap places, '-' sits where the US '/' is, '+' where ']'.
TEST(KeyTranslation, GermanLayoutFollowsTheLabels) {
  const LayoutKey keys[] = {
      {kY, 'z', 'Z'},           {kZ, 'y', 'Y'},           {kQ, 'q', 'Q'},
      {kDigit1, '1', '1'},      {kSlash, '-', 189},       {kBracketRight, '+', 187},
      {kComma, ',', 188},       {kPeriod, '.', 190},      {kSemicolon, 0xf6 /* ö */, 186},
      {kMinusKey, 0xdf /* ß */, 189}};
  for (const LayoutKey& k : keys)
    EXPECT_EQ(VirtualKeyFromLayout(k.Keycode, k.Unshifted, 0), k.Code) << k.Keycode;
}

// The French layout (AZERTY): letters by their labels, the digits by place although the row types
// symbols unshifted, and the comma key where the US M is.
TEST(KeyTranslation, FrenchLayoutFollowsTheLabelsAndKeepsDigitsByPlace) {
  const LayoutKey keys[] = {
      {kQ, 'a', 'A'},           {kA, 'q', 'Q'},           {kW, 'z', 'Z'},
      {kZ, 'w', 'W'},           {kSemicolon, 'm', 'M'},   {kM, ',', 188},
      {kDigit1, 0x26 /* & */, '1'}, {kDigit2, 0xe9 /* é */, '2'}, {kDigit0, 0xe0 /* à */, '0'}};
  for (const LayoutKey& k : keys)
    EXPECT_EQ(VirtualKeyFromLayout(k.Keycode, k.Unshifted, 0), k.Code) << k.Keycode;
}

// Layouts without Latin letters keep the US places, as Windows does; AltGr (Mod5) makes no code in
// the main block, so it never enters a note; the group bits do not matter.
TEST(KeyTranslation, OtherScriptsGoByPlaceAndAltGrMakesNoCode) {
  EXPECT_EQ(VirtualKeyFromLayout(kQ, 0x6ca /* Cyrillic short i */, 0), 'Q');
  EXPECT_EQ(VirtualKeyFromLayout(kQ, 'q', 0x80), 0);
  EXPECT_EQ(VirtualKeyFromLayout(kDigit1, '1', 0x80), 0);
  EXPECT_EQ(VirtualKeyFromLayout(kQ, 'q', 0x2000 | 0x1 /* group 2, Shift */), 'Q');
  EXPECT_EQ(VirtualKeyFromLayout(36 /* Enter */, 0xff0d, 0), 0);
}

// Whole events as X11 delivers them (keycode, keysym, state).
TEST(KeyTranslation, NativeEventsFromAGermanKeyboard) {
  // The key labelled Z on a German keyboard, without and with Shift.
  QKeyEvent z(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, kY, 'z', 0, "z");
  EXPECT_EQ(VirtualKeyOf(z), 'Z');
  QKeyEvent shiftedZ(QEvent::KeyPress, Qt::Key_Z, Qt::ShiftModifier, kY, 'Z', 0x1, "Z");
  EXPECT_EQ(VirtualKeyOf(shiftedZ), 'Z');
  // AltGr+Q types '@' on German: no code.
  QKeyEvent at(QEvent::KeyPress, Qt::Key_At, Qt::NoModifier, kQ, '@', 0x80, "@");
  EXPECT_EQ(VirtualKeyOf(at), 0);
  // The keypad and synthetic events without a keycode go by Qt::Key.
  QKeyEvent keypad(QEvent::KeyPress, Qt::Key_1, Qt::KeypadModifier, 87, 0xffb1, 0, "1");
  EXPECT_EQ(VirtualKeyOf(keypad), 97);
  QKeyEvent shifted(QEvent::KeyPress, Qt::Key_Exclam, Qt::ShiftModifier, 0, 0, 0, "!");
  EXPECT_EQ(VirtualKeyOf(shifted), '1');
}
