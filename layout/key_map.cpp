#include "layout/key_map.h"

const std::array<const char*, kKeyMapSize> kKeyMapLabels = {
    "Crash cymbal :", "Splash cymbal :", "China cymbal :", "Hi-Hat closed :", "Hi-Hat open :",
    "Ride cymbal :",  "Snare drum :",    "Rim click :",    "Bass drum :",     "Tom #1 :",
    "Tom #2 :",       "Floor tom :",     "Greater Pace",   "Smaller Pace"};

namespace {

constexpr std::array<NoteOfKey, 12> kNotes = {{
    {RowCymbals, 0}, {RowCymbals, 1}, {RowCymbals, 2}, {RowHiHat, 0}, {RowHiHat, 1}, {RowRide, 0},
    {RowSnare, 0}, {RowSnare, 1}, {RowBass, 0}, {RowTom1, 0}, {RowTom2, 0}, {RowFloor, 0}}};

// The order in which the key handler tries the entries.
constexpr std::array<int, kKeyMapSize> kLookUpOrder = {
    KeyBass, KeySnare, KeyRimClick, KeyHiHatClosed, KeyHiHatOpen, KeyFloor, KeyRide,
    KeyCrash, KeySplash, KeyChina, KeyTom1, KeyTom2, KeyGreaterPace, KeySmallerPace};

}  // namespace

NoteOfKey NoteOfEntry(int entry) { return kNotes.at(static_cast<std::size_t>(entry)); }

bool IsAcceptedKeyCode(int code) {
  return (code >= 48 && code <= 57) || (code >= 65 && code <= 90) ||
         (code >= 186 && code <= 191) || (code >= 219 && code <= 222);
}

KeyCommand LookUpKey(const KeyMapTable& keyMap, const std::array<uint8_t, kRowCount>& kit,
                     int code) {
  KeyCommand cmd;
  for (int entry : kLookUpOrder) {
    if (keyMap[static_cast<std::size_t>(entry)] != code) continue;
    if (entry == KeyGreaterPace || entry == KeySmallerPace) {
      cmd.Action = entry == KeyGreaterPace ? KeyAction::GreaterPace : KeyAction::SmallerPace;
      cmd.Entry = entry;
      return cmd;
    }
    const NoteOfKey note = NoteOfEntry(entry);
    if (!kit[static_cast<std::size_t>(note.Row)]) continue;
    cmd.Action = KeyAction::Note;
    cmd.Entry = entry;
    cmd.Row = note.Row;
    cmd.Variant = note.Variant;
    return cmd;
  }
  return cmd;
}

KeyCommand DecodeKey(int code, KeyModifiers mods, bool accentedBox, const KeyMapTable& keyMap,
                     const std::array<uint8_t, kRowCount>& kit) {
  KeyCommand cmd;
  if (code == vk::Tab) {
    cmd.Action = KeyAction::FocusComment;
    return cmd;
  }
  if (mods.Ctrl) {
    switch (code) {
      case vk::Left: cmd.Action = KeyAction::PreviousBar; break;
      case vk::Right: cmd.Action = KeyAction::NextBar; break;
      case vk::C: case vk::Insert: cmd.Action = KeyAction::Copy; break;
      case vk::V: cmd.Action = KeyAction::Paste; break;
      case vk::X: cmd.Action = KeyAction::Cut; break;
      default: break;
    }
    return cmd;
  }
  if (mods.Shift && code == vk::Insert) {
    cmd.Action = KeyAction::Paste;
    return cmd;
  }
  if (mods.Shift && code == vk::Delete) {
    cmd.Action = KeyAction::Cut;
    return cmd;
  }
  if (mods.Alt) return cmd;
  const uint8_t accent = (mods.Shift || accentedBox) ? 1 : 0;
  if (code == vk::Left) {
    cmd.Action = KeyAction::StepLeft;
    return cmd;
  }
  if (code == vk::Right) {
    cmd.Action = KeyAction::StepRight;
    return cmd;
  }
  cmd = LookUpKey(keyMap, kit, code);
  if (cmd.Action == KeyAction::Note) cmd.Accent = accent;
  return cmd;
}

uint8_t PaceOfIndex(int index) {
  if (index < 0) index = 0;
  if (index >= kPaceItems) index = kPaceItems - 1;
  return static_cast<uint8_t>(1 << index);
}

int PaceIndexAfter(KeyAction action, int index) {
  if (action == KeyAction::GreaterPace && index < kPaceItems - 1) return index + 1;
  if (action == KeyAction::SmallerPace && index > 0) return index - 1;
  return index;
}
