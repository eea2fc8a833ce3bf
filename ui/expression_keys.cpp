#include "ui/expression_keys.h"

#include "layout/key_map.h"
#include "ui/extended_settings.h"

const std::array<ExpressionKeyEntry, kExpressionKindCount> kExpressionKeyEntries = {{
    {"ExpressionKeys/Ghost", "Ghost note :", 'G'},
    {"ExpressionKeys/Flam", "Flam :", 'H'},
    {"ExpressionKeys/Drag", "Drag :", 'D'},
    {"ExpressionKeys/Roll", "Buzz roll :", 'V'},
    {"ExpressionKeys/Choke", "Cymbal choke :", 'C'},
    {"ExpressionKeys/Bell", "Bell :", 'B'},
    {"ExpressionKeys/Foot", "Hi-hat foot :", 'P'},
    {"ExpressionKeys/StickRight", "Sticking right :", 'J'},
    {"ExpressionKeys/StickLeft", "Sticking left :", 'K'},
    {"ExpressionKeys/StickBoth", "Sticking both :", 'N'},
}};

namespace {

ExpressionKeyTable& Table() {
  static ExpressionKeyTable keys = [] {
    ExpressionKeyTable read{};
    ExtendedSettings settings;
    for (std::size_t k = 0; k < read.size(); ++k) {
      const ExpressionKeyEntry& e = kExpressionKeyEntries[k];
      const int code = settings.Int(e.SettingsKey, e.DefaultCode, 0, 255);
      read[k] = IsAcceptedKeyCode(code) ? code : e.DefaultCode;
    }
    return read;
  }();
  return keys;
}

}  // namespace

const ExpressionKeyTable& ExpressionKeys() { return Table(); }

void SetExpressionKeys(const ExpressionKeyTable& keys) {
  ExtendedSettings settings;
  for (std::size_t k = 0; k < keys.size(); ++k) settings.SetInt(kExpressionKeyEntries[k].SettingsKey, keys[k]);
  settings.Sync();
  Table() = keys;
}

void ReloadExpressionKeys() {
  ExtendedSettings settings;
  for (std::size_t k = 0; k < Table().size(); ++k) {
    const ExpressionKeyEntry& e = kExpressionKeyEntries[k];
    const int code = settings.Int(e.SettingsKey, e.DefaultCode, 0, 255);
    Table()[k] = IsAcceptedKeyCode(code) ? code : e.DefaultCode;
  }
}

int ExpressionKindOfKey(int code) {
  const ExpressionKeyTable& keys = ExpressionKeys();
  for (std::size_t k = 0; k < keys.size(); ++k)
    if (keys[k] == code) return static_cast<int>(k);
  return -1;
}
