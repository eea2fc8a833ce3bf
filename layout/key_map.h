// The key map for note entry and the decoding of a key press into the command it stands for.
// Keys are Windows virtual-key codes (ui/key_translation.h turns Qt key events into them), so the
// options file keeps its codes whatever toolkit delivers the keys.
#pragma once

#include <array>
#include <cstdint>

#include "model/key_map_table.h"
#include "model/tab_document.h"

// Entry numbers; the options dialog's key boxes carry them as tags and the options file stores the
// entries in this order.
enum KeyMapEntry : int {
  KeyCrash = 0, KeySplash = 1, KeyChina = 2, KeyHiHatClosed = 3, KeyHiHatOpen = 4, KeyRide = 5,
  KeySnare = 6, KeyRimClick = 7, KeyBass = 8, KeyTom1 = 9, KeyTom2 = 10, KeyFloor = 11,
  KeyGreaterPace = 12, KeySmallerPace = 13
};

// The options dialog's label of each entry ("Crash cymbal :" ... "Smaller Pace").
extern const std::array<const char*, kKeyMapSize> kKeyMapLabels;

struct NoteOfKey {
  int Row;
  uint8_t Variant;
};
// Row and variant of the twelve note entries (0..11).
NoteOfKey NoteOfEntry(int entry);

// Codes a key-map entry may hold: digits 48-57, letters 65-90 and the punctuation keys
// ; = , - . / (186-191) and [ \ ] ' (219-222).
bool IsAcceptedKeyCode(int code);

// Virtual-key codes the key handler names.
namespace vk {
constexpr int Tab = 9, Enter = 13, Left = 37, Up = 38, Right = 39, Down = 40, Insert = 45,
              Delete = 46, C = 67, V = 86, X = 88;
}  // namespace vk

enum class KeyAction {
  None,          // not a command: ignore the key
  Note,          // SetNote with Row, Variant, Accent
  GreaterPace,
  SmallerPace,
  StepLeft,
  StepRight,
  PreviousBar,
  NextBar,
  Copy,          // from the keyboard: no snapshot, Modified unchanged
  Paste,         // Push, then paste before the current bar
  Cut,           // Push, then cut the current bar
  FocusComment,  // Tab: into the comment box
};

struct KeyCommand {
  KeyAction Action = KeyAction::None;
  int Entry = -1;  // key-map entry for Note and the pace actions
  int Row = 0;
  uint8_t Variant = 0;
  uint8_t Accent = 0;
};

// Which key-map entry a key means, given the kit: the entries are tried in the order
// bass, snare, rim click, hi-hat closed, hi-hat open, floor tom, ride, crash, splash, china, tom 1,
// tom 2, greater pace, smaller pace, and the first that holds the key wins. A note entry whose row
// is hidden never matches, so a hidden instrument gets no notes even when it shares its key with a
// shown one. Returns None, Note (with row and variant; Accent left 0) or a pace action.
KeyCommand LookUpKey(const KeyMapTable& keyMap, const std::array<uint8_t, kRowCount>& kit, int code);

struct KeyModifiers {
  bool Shift = false;
  bool Ctrl = false;
  bool Alt = false;
};

// The key handler's decision once focus and TextEditBar have let the key through: Tab, the Ctrl
// table, Shift+Insert/Delete, Alt ignored, accent from Shift or the "Accented" box, the arrows, then
// LookUpKey.
KeyCommand DecodeKey(int code, KeyModifiers mods, bool accentedBox, const KeyMapTable& keyMap,
                     const std::array<uint8_t, kRowCount>& kit);

// The Pace box: items "1/16", "1/8", "1/4", "1/2" are indexes 0..3, the pace 2^index sixteenths.
constexpr int kPaceItems = 4;
uint8_t PaceOfIndex(int index);
// The item index after a pace key; unchanged at either end.
int PaceIndexAfter(KeyAction action, int index);
