// The key map's storage: one Windows virtual-key code per entry (layout/key_map.h names the entries).
#pragma once

#include <array>
#include <cstdint>

constexpr int kKeyMapSize = 14;
using KeyMapTable = std::array<uint8_t, kKeyMapSize>;

// Keys 1, 2, 3, Q, W, R, S, A, Z, T, Y, F, full stop, comma.
inline constexpr KeyMapTable kDefaultKeyMap = {49, 50, 51, 81, 87, 82, 83, 65, 90, 84, 89, 70, 190, 188};
