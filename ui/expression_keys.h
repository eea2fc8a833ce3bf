// The keys that enter ghost notes, articulations, the hi-hat foot and the sticking at the cursor.
// They live in settings.ini (the options file's key map has room for its fourteen keys only) as
// virtual-key codes, like the key map; a key the key map already holds stays the key map's.
#pragma once

#include <array>

#include "model/expressive_notes.h"

struct ExpressionKeyEntry {
  const char* SettingsKey;  // "ExpressionKeys/Ghost"
  const char* Label;        // the key map page's label
  int DefaultCode;
};

// By ExpressionKind. Defaults: G ghost, H flam, D drag, V buzz roll, C choke, B bell, P hi-hat foot
// (pedal), J, K and N the sticking right, left and both.
extern const std::array<ExpressionKeyEntry, kExpressionKindCount> kExpressionKeyEntries;

using ExpressionKeyTable = std::array<int, kExpressionKindCount>;

// The keys in use: read from settings.ini on first use.
const ExpressionKeyTable& ExpressionKeys();
// Stores the keys in settings.ini and uses them from now on.
void SetExpressionKeys(const ExpressionKeyTable& keys);
// Reads settings.ini again (after the settings file changed place).
void ReloadExpressionKeys();

// The kind a virtual-key code enters; -1 for none.
int ExpressionKindOfKey(int code);
