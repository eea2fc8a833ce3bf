#include <gtest/gtest.h>

#include "layout/key_map.h"

namespace {
using Kit = std::array<uint8_t, kRowCount>;
constexpr Kit kAllShown = {1, 1, 1, 1, 1, 1, 1, 1, 1};

KeyCommand Decode(int code, KeyModifiers mods = {}, bool accented = false,
                  const Kit& kit = kAllShown) {
  return DecodeKey(code, mods, accented, kDefaultKeyMap, kit);
}
}  // namespace

TEST(KeyMapLookUp, DefaultKeysSetTheirInstruments) {
  struct Case {
    char key;
    int row;
    int variant;
  } cases[] = {{'1', RowCymbals, 0}, {'2', RowCymbals, 1}, {'3', RowCymbals, 2},
               {'Q', RowHiHat, 0},   {'W', RowHiHat, 1},   {'R', RowRide, 0},
               {'S', RowSnare, 0},   {'A', RowSnare, 1},   {'Z', RowBass, 0},
               {'T', RowTom1, 0},    {'Y', RowTom2, 0},    {'F', RowFloor, 0}};
  for (const Case& c : cases) {
    const KeyCommand cmd = LookUpKey(kDefaultKeyMap, kAllShown, c.key);
    EXPECT_EQ(cmd.Action, KeyAction::Note) << c.key;
    EXPECT_EQ(cmd.Row, c.row) << c.key;
    EXPECT_EQ(cmd.Variant, c.variant) << c.key;
  }
  EXPECT_EQ(LookUpKey(kDefaultKeyMap, kAllShown, 190).Action, KeyAction::GreaterPace);
  EXPECT_EQ(LookUpKey(kDefaultKeyMap, kAllShown, 188).Action, KeyAction::SmallerPace);
  EXPECT_EQ(LookUpKey(kDefaultKeyMap, kAllShown, 'B').Action, KeyAction::None);
}

TEST(KeyMapLookUp, DuplicateKeysGoToTheFirstEntryInHandlerOrder) {
  KeyMapTable map = kDefaultKeyMap;
  map[KeyFloor] = 'S';  // snare and floor tom share S: snare is tried first
  EXPECT_EQ(LookUpKey(map, kAllShown, 'S').Row, RowSnare);

  // The handler's order differs from the entry numbers: bass before crash, floor tom before ride.
  map = kDefaultKeyMap;
  map[KeyCrash] = 'Z';
  EXPECT_EQ(LookUpKey(map, kAllShown, 'Z').Row, RowBass);
  map = kDefaultKeyMap;
  map[KeyRide] = 'F';
  EXPECT_EQ(LookUpKey(map, kAllShown, 'F').Row, RowFloor);
  map = kDefaultKeyMap;
  map[KeyTom2] = 'T';
  EXPECT_EQ(LookUpKey(map, kAllShown, 'T').Row, RowTom1);

  // A note key shared with a pace key sets the note; the pace key acts only when the note's row
  // is hidden.
  map = kDefaultKeyMap;
  map[KeyGreaterPace] = 'S';
  EXPECT_EQ(LookUpKey(map, kAllShown, 'S').Action, KeyAction::Note);
  Kit noSnare = kAllShown;
  noSnare[RowSnare] = 0;
  EXPECT_EQ(LookUpKey(map, noSnare, 'S').Action, KeyAction::GreaterPace);
}

TEST(KeyMapLookUp, HiddenRowsIgnoreTheirKeys) {
  Kit kit = kAllShown;
  kit[RowHiHat] = 0;
  EXPECT_EQ(LookUpKey(kDefaultKeyMap, kit, 'Q').Action, KeyAction::None);
  EXPECT_EQ(LookUpKey(kDefaultKeyMap, kit, 'W').Action, KeyAction::None);
  EXPECT_EQ(LookUpKey(kDefaultKeyMap, kit, 'S').Row, RowSnare);

  // A hidden instrument sharing its key with a shown one lets the shown one have it.
  KeyMapTable map = kDefaultKeyMap;
  map[KeyFloor] = 'S';
  kit = kAllShown;
  kit[RowSnare] = 0;
  EXPECT_EQ(LookUpKey(map, kit, 'S').Row, RowFloor);

  // Pace keys work with every instrument hidden.
  const Kit countOnly = {1, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(LookUpKey(kDefaultKeyMap, countOnly, 190).Action, KeyAction::GreaterPace);
  EXPECT_EQ(LookUpKey(kDefaultKeyMap, countOnly, 'Z').Action, KeyAction::None);
}

TEST(KeyDecoding, ModifiersSelectTheCommandTables) {
  EXPECT_EQ(Decode('S').Accent, 0);
  EXPECT_EQ(Decode('S', {.Shift = true}).Accent, 1);
  EXPECT_EQ(Decode('S', {}, true).Accent, 1);
  EXPECT_EQ(Decode('S', {.Shift = true}).Row, RowSnare);

  EXPECT_EQ(Decode('C', {.Ctrl = true}).Action, KeyAction::Copy);
  EXPECT_EQ(Decode(vk::Insert, {.Ctrl = true}).Action, KeyAction::Copy);
  EXPECT_EQ(Decode('V', {.Ctrl = true}).Action, KeyAction::Paste);
  EXPECT_EQ(Decode('X', {.Ctrl = true}).Action, KeyAction::Cut);
  EXPECT_EQ(Decode(vk::Left, {.Ctrl = true}).Action, KeyAction::PreviousBar);
  EXPECT_EQ(Decode(vk::Right, {.Ctrl = true}).Action, KeyAction::NextBar);
  // Any other Ctrl key is ignored, even a note key, even with Shift.
  EXPECT_EQ(Decode('S', {.Ctrl = true}).Action, KeyAction::None);
  EXPECT_EQ(Decode(vk::Insert, {.Shift = true, .Ctrl = true}).Action, KeyAction::Copy);

  EXPECT_EQ(Decode(vk::Insert, {.Shift = true}).Action, KeyAction::Paste);
  EXPECT_EQ(Decode(vk::Delete, {.Shift = true}).Action, KeyAction::Cut);
  EXPECT_EQ(Decode(vk::Delete).Action, KeyAction::None);
  EXPECT_EQ(Decode(vk::Insert).Action, KeyAction::None);

  EXPECT_EQ(Decode('S', {.Alt = true}).Action, KeyAction::None);
  EXPECT_EQ(Decode('S', {.Shift = true, .Alt = true}).Action, KeyAction::None);
  EXPECT_EQ(Decode(vk::Left, {.Alt = true}).Action, KeyAction::None);

  EXPECT_EQ(Decode(vk::Left, {.Shift = true}).Action, KeyAction::StepLeft);
  EXPECT_EQ(Decode(vk::Right).Action, KeyAction::StepRight);
  EXPECT_EQ(Decode(vk::Tab, {.Shift = true}).Action, KeyAction::FocusComment);
  EXPECT_EQ(Decode(vk::Up).Action, KeyAction::None);
}

TEST(PaceKeys, StopAtTheEndsOfThePaceBox) {
  EXPECT_EQ(PaceIndexAfter(KeyAction::GreaterPace, 2), 3);  // "1/4" -> "1/2"
  EXPECT_EQ(PaceOfIndex(3), 8);
  EXPECT_EQ(PaceIndexAfter(KeyAction::GreaterPace, 3), 3);
  EXPECT_EQ(PaceIndexAfter(KeyAction::SmallerPace, 0), 0);
  EXPECT_EQ(PaceIndexAfter(KeyAction::SmallerPace, 1), 0);
  EXPECT_EQ(PaceOfIndex(0), 1);
  EXPECT_EQ(PaceIndexAfter(KeyAction::Note, 2), 2);
}

TEST(KeyCodes, OnlyCharacterKeysCanBeMapped) {
  for (int c : {13, 47, 58, 64, 91, 185, 192, 218, 223}) EXPECT_FALSE(IsAcceptedKeyCode(c)) << c;
  for (int c : {48, 57, 65, 90, 186, 191, 219, 222}) EXPECT_TRUE(IsAcceptedKeyCode(c)) << c;
  for (uint8_t code : kDefaultKeyMap) EXPECT_TRUE(IsAcceptedKeyCode(code)) << int{code};
}
