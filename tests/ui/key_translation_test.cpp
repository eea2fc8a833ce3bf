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

TEST(KeyTranslation, EventsOnThisPlatform) {
  // Shift+1 as a US layout delivers it: the key of 1, whatever the character.
  QKeyEvent shifted(QEvent::KeyPress, Qt::Key_Exclam, Qt::ShiftModifier, 10, 0x21, 0, "!");
  EXPECT_EQ(VirtualKeyOf(shifted), '1');
  QKeyEvent keypad(QEvent::KeyPress, Qt::Key_1, Qt::KeypadModifier, 87, 0xffb1, 0, "1");
  EXPECT_EQ(VirtualKeyOf(keypad), 97);
  // On a layout that puts A where Q is, the physical key counts where scan codes exist.
  QKeyEvent azerty(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 24, 0x61, 0, "a");
  const bool scanCodes = QGuiApplication::platformName() == QLatin1String("xcb") ||
                         QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
  EXPECT_EQ(VirtualKeyOf(azerty), scanCodes ? 'Q' : 'A');
}
