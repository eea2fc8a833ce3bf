#include "files/tab_file_extension.h"

#include <algorithm>
#include <array>
#include <bit>
#include <optional>
#include <vector>

const char* const kDamagedExtensionMessage =
    "The file's ghost notes, articulations, hi-hat foot, sticking, grids and swing are damaged and "
    "were left out; the bars are loaded with their plain notes in sixteenths.";

namespace {

void PutU8(std::string& out, uint8_t v) { out.push_back(static_cast<char>(v)); }
void PutU16(std::string& out, uint16_t v) {
  PutU8(out, static_cast<uint8_t>(v));
  PutU8(out, static_cast<uint8_t>(v >> 8));
}
void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) PutU8(out, static_cast<uint8_t>(v >> (8 * i)));
}
void PutU64(std::string& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) PutU8(out, static_cast<uint8_t>(v >> (8 * i)));
}

uint64_t U(std::string_view b, std::size_t at, int n) {
  uint64_t v = 0;
  for (int i = 0; i < n; ++i) v |= uint64_t{static_cast<uint8_t>(b[at + static_cast<std::size_t>(i)])} << (8 * i);
  return v;
}


void AppendRecord(std::string& records, ExtensionRecord kind, const std::string& payload) {
  if (payload.empty()) return;
  PutU8(records, static_cast<uint8_t>(kind));
  PutU32(records, static_cast<uint32_t>(payload.size()));
  records += payload;
}

struct NoteBits {
  uint16_t Bar;
  uint8_t Row, Position, Bits;
};
struct StickingEntry {
  uint16_t Bar;
  uint8_t Position;
  char Letter;
};

}  // namespace

uint32_t Crc32(std::string_view bytes) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (char ch : bytes) crc = table[(crc ^ static_cast<uint8_t>(ch)) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

void AppendTabExtension(const Osnova& doc, std::size_t barCount, std::string& out) {
  std::string notes, foot, sticking, grids, swing;
  for (std::size_t b = 0; b < barCount; ++b) {
    const TBar& bar = *doc.Bars[b];
    const int length = std::min<int>(bar.Length, kMaxPositions);
    const auto index = static_cast<uint16_t>(b);
    if (bar.Grid != BarGrid::Sixteenths) {
      PutU16(grids, index);
      PutU8(grids, static_cast<uint8_t>(bar.Grid));
    }
    for (int r = RowCymbals; r <= RowBass; ++r) {
      const TNoteRow& row = bar.Rows[static_cast<std::size_t>(r)];
      for (uint64_t set = row.Notes & PositionsBelow(length); set; set &= set - 1) {
        const int p = std::countr_zero(set);
        const TNoteCell& cell = row.Cells[static_cast<std::size_t>(p)];
        if (cell.Plain()) continue;
        PutU16(notes, index);
        PutU8(notes, static_cast<uint8_t>(r));
        PutU8(notes, static_cast<uint8_t>(p));
        PutU8(notes, static_cast<uint8_t>(cell.Ghost | cell.Style << 1));
      }
    }
    if (const uint64_t f = bar.FootNotes & PositionsBelow(length)) {
      PutU16(foot, index);
      PutU64(foot, f);
    }
    std::string marks;
    uint8_t count = 0;
    for (int p = 0; p < length; ++p)
      if (const char s = bar.Sticking[static_cast<std::size_t>(p)]) {
        PutU8(marks, static_cast<uint8_t>(p));
        PutU8(marks, static_cast<uint8_t>(s));
        ++count;
      }
    if (count) {
      PutU16(sticking, index);
      PutU8(sticking, count);
      sticking += marks;
    }
  }
  if (doc.Swing.On()) {
    PutU8(swing, doc.Swing.Percent);
    PutU8(swing, static_cast<uint8_t>(doc.Swing.Unit));
  }
  std::string records;
  AppendRecord(records, ExtensionRecord::Notes, notes);
  AppendRecord(records, ExtensionRecord::Foot, foot);
  AppendRecord(records, ExtensionRecord::Sticking, sticking);
  AppendRecord(records, ExtensionRecord::Grid, grids);
  AppendRecord(records, ExtensionRecord::Swing, swing);
  if (records.empty()) return;
  out += kExtensionMarker;
  PutU16(out, kExtensionVersion);
  PutU32(out, static_cast<uint32_t>(records.size()));
  PutU32(out, Crc32(records));
  out += records;
}

bool ApplyTabExtension(uint16_t version, uint32_t crc, std::string_view records, Osnova& doc,
                       std::string& warning) {
  auto damaged = [&] {
    warning = kDamagedExtensionMessage;
    return false;
  };
  if (version != kExtensionVersion || Crc32(records) != crc) return damaged();
  // Everything is checked before anything is applied: a damaged block changes nothing.
  std::vector<NoteBits> notes;
  std::vector<std::pair<uint16_t, uint64_t>> foot;
  std::vector<StickingEntry> sticking;
  std::vector<std::pair<uint16_t, BarGrid>> grids;
  std::optional<SongSwing> swing;
  std::size_t at = 0;
  while (at < records.size()) {
    if (records.size() - at < 5) return damaged();
    const auto kind = static_cast<uint8_t>(records[at]);
    const uint64_t length = U(records, at + 1, 4);
    at += 5;
    if (records.size() - at < length) return damaged();
    const std::string_view payload = records.substr(at, static_cast<std::size_t>(length));
    at += static_cast<std::size_t>(length);
    switch (static_cast<ExtensionRecord>(kind)) {
      case ExtensionRecord::Notes:
        if (payload.size() % 5) return damaged();
        for (std::size_t i = 0; i < payload.size(); i += 5)
          notes.push_back({static_cast<uint16_t>(U(payload, i, 2)), static_cast<uint8_t>(payload[i + 2]),
                           static_cast<uint8_t>(payload[i + 3]), static_cast<uint8_t>(payload[i + 4])});
        break;
      case ExtensionRecord::Foot:
        if (payload.size() % 10) return damaged();
        for (std::size_t i = 0; i < payload.size(); i += 10)
          foot.push_back({static_cast<uint16_t>(U(payload, i, 2)), U(payload, i + 2, 8)});
        break;
      case ExtensionRecord::Sticking:
        for (std::size_t i = 0; i < payload.size();) {
          if (payload.size() - i < 3) return damaged();
          const auto bar = static_cast<uint16_t>(U(payload, i, 2));
          const std::size_t count = static_cast<uint8_t>(payload[i + 2]);
          i += 3;
          if (payload.size() - i < 2 * count) return damaged();
          for (std::size_t k = 0; k < count; ++k, i += 2)
            sticking.push_back({bar, static_cast<uint8_t>(payload[i]), payload[i + 1]});
        }
        break;
      case ExtensionRecord::Grid:
        if (payload.size() % 3) return damaged();
        for (std::size_t i = 0; i < payload.size(); i += 3) {
          const auto grid = static_cast<uint8_t>(payload[i + 2]);
          if (!ValidGrid(grid)) return damaged();
          grids.push_back({static_cast<uint16_t>(U(payload, i, 2)), static_cast<BarGrid>(grid)});
        }
        break;
      case ExtensionRecord::Swing: {
        // Later versions may add to the record; its first two bytes keep their meaning.
        if (payload.size() < 2) return damaged();
        const auto percent = static_cast<uint8_t>(payload[0]);
        const auto unit = static_cast<uint8_t>(payload[1]);
        if (percent > kMaxSwingPercent || unit > 1) return damaged();
        swing = SongSwing{percent, static_cast<SwingUnit>(unit)};
        break;
      }
      default:
        break;  // a later kind of record
    }
  }
  const std::size_t bars = doc.Bars.size();
  for (const auto& [bar, grid] : grids)
    if (bar < bars) doc.EditBar(bar).Grid = grid;
  if (swing) doc.Swing = *swing;
  for (const NoteBits& n : notes) {
    if (n.Bar >= bars || n.Row < RowCymbals || n.Row > RowBass || n.Position >= doc.Bar(n.Bar).Length) continue;
    if (!doc.Bar(n.Bar).Rows[n.Row].Has(n.Position)) continue;
    TNoteCell& cell = doc.EditBar(n.Bar).Rows[n.Row].Cells[n.Position];
    const uint8_t style = (n.Bits >> 1) & 7;
    cell.Ghost = (n.Bits & 1) && !cell.Accent ? 1 : 0;
    cell.Style = style < kNoteStyleCount ? style : 0;
  }
  for (const auto& [bar, set] : foot)
    if (bar < bars) doc.EditBar(bar).FootNotes = set & PositionsBelow(doc.Bar(bar).Length);
  for (const StickingEntry& s : sticking)
    if (s.Bar < bars && s.Position < doc.Bar(s.Bar).Length && (s.Letter == 'R' || s.Letter == 'L' || s.Letter == 'B'))
      doc.EditBar(s.Bar).Sticking[s.Position] = s.Letter;
  return true;
}
