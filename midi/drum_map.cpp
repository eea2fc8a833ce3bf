#include "midi/drum_map.h"

uint8_t DrumNoteOf(uint8_t row, uint8_t variant) {
  if (variant == 255) return 0;
  switch (row & 0x7F) {
    case 1: return variant == 0 ? 49 : variant == 1 ? 55 : variant == 2 ? 52 : 0;
    case 2: return 59;
    case 3: return variant == 0 ? 42 : 46;
    case 4: return 48;
    case 5: return 47;
    case 6: return 43;
    case 7: return variant == 0 ? 38 : 37;
    case 8: return 36;
    default: return 0;
  }
}
