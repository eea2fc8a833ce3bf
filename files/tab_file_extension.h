// The tab file's extension block: what a song holds beyond the plain notes of the bar blocks
// (ghost notes, articulations, the hi-hat foot line, the sticking line, bar grids, swing). It follows the last bar
// block, where readers of the plain format stop, so they open such a file as plain notes; a song
// that uses none of it gets no block and saves exactly as a plain song.
//
// Layout (little-endian): the marker "GVXT", a u16 version, a u32 length and the CRC-32 (IEEE) of
// the `length` bytes of records that follow. A record is a u8 kind, a u32 length and that many
// bytes; a reader skips kinds it does not know, so a later version adds kinds (swing per song
// part, say) without changing the version, which changes only if this framing does.
//   kind 1, notes:    per note {u16 bar, u8 row, u8 position, u8 bits: 0 ghost, 1..3 NoteStyle}
//   kind 2, foot:     per bar {u16 bar, u64 positions}
//   kind 3, sticking: per bar {u16 bar, u8 count, count x {u8 position, u8 'R' 'L' or 'B'}}
//   kind 4, grid:     per bar not in sixteenths {u16 bar, u8 BarGrid}
//   kind 5, swing:    {u8 percent 1..50, u8 SwingUnit}, when the song swings
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/tab_document.h"

inline constexpr std::string_view kExtensionMarker = "GVXT";
inline constexpr uint16_t kExtensionVersion = 1;
inline constexpr std::size_t kExtensionHeaderSize = 2 + 4 + 4;  // after the marker
// Records past this are damage: the largest song (65535 bars of 64 positions on 8 rows) needs less.
inline constexpr uint32_t kMaxExtensionLength = uint32_t{200} << 20;

extern const char* const kDamagedExtensionMessage;

enum class ExtensionRecord : uint8_t { Notes = 1, Foot = 2, Sticking = 3, Grid = 4, Swing = 5 };

uint32_t Crc32(std::string_view bytes);

// Appends the block for the first `barCount` bars of `doc` to `out`, or nothing when they use none
// of it. Only positions below each bar's length are written, and style bits only for notes.
void AppendTabExtension(const Osnova& doc, std::size_t barCount, std::string& out);

// Applies the records of a block whose header said `version` and `crc`. A block that fails its
// checksum, has an unknown version or a damaged record changes nothing and returns false with
// kDamagedExtensionMessage in `warning`. Entries for bars, rows or positions the song does not have
// and note bits where no note stands are left out.
bool ApplyTabExtension(uint16_t version, uint32_t crc, std::string_view records, Osnova& doc,
                       std::string& warning);
