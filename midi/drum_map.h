// The fixed map from a tab row and note variant to a General MIDI percussion key.
#pragma once

#include <cstdint>

uint8_t DrumNoteOf(uint8_t row, uint8_t variant);
