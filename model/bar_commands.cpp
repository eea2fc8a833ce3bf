#include "model/bar_commands.h"

#include <algorithm>
#include <array>
#include <memory>

const char* const kCannotDeleteAllBarsMessage =
    "You cannot delete all bars! At least one must remain.";
const char* const kCannotCutAllBarsMessage = "You cannot cut out all bars! At least one must remain.";
const char* const kTooManyBarsMessage = "A tab cannot have more than 65535 bars.";

namespace {

// The boxes list numerators up to 16; an imported bar may be longer (17/16) and keeps its timing
// when its own numerator is chosen again, so any timing of at most 64 positions is one.
bool IsTiming(int numerator, int denominator) {
  return numerator >= 1 && (denominator == 4 || denominator == 8 || denominator == 16) &&
         LengthFromTiming(numerator, denominator) <= kMaxPositions;
}

// Bars are moved as pointers; their layout fields go with them, which is harmless because the next
// repaint recomputes them.
void InsertBarObject(Osnova& doc, std::shared_ptr<TBar> bar, std::size_t at) {
  doc.Bars.insert(at, std::move(bar));
  doc.BarCount = static_cast<uint16_t>(doc.Bars.size());
}

}  // namespace

bool InsertBar(Osnova& doc, uint8_t length, int32_t at, uint8_t denominator, std::string& error) {
  if (doc.Bars.size() >= kMaxBarCount) {
    error = kTooManyBarsMessage;
    return false;
  }
  if (at == -1) at = static_cast<int32_t>(doc.Bars.size());
  if (at < 0 || at > static_cast<int32_t>(doc.Bars.size())) {
    error = "There is no bar " + std::to_string(at) + ".";
    return false;
  }
  if (length < 1 || length > kMaxPositions || DenominatorIndex(denominator) == 255) {
    error = "This is not a bar timing.";
    return false;
  }
  auto bar = NewBar(denominator, uint8_t{1});
  bar->Length = length;
  InsertBarObject(doc, std::move(bar), static_cast<std::size_t>(at));
  return true;
}

bool RemoveBar(Osnova& doc, uint32_t at, std::string& error) {
  if (doc.Bars.size() <= 1) {
    error = kCannotDeleteAllBarsMessage;
    return false;
  }
  if (at == 0xFFFFFFFFu) at = static_cast<uint32_t>(doc.Bars.size() - 1);
  if (at >= doc.Bars.size()) {
    error = "There is no bar " + std::to_string(at) + ".";
    return false;
  }
  doc.Bars.erase(at);
  doc.BarCount = static_cast<uint16_t>(doc.Bars.size());
  const uint16_t last = static_cast<uint16_t>(doc.BarCount - 1);
  if (at == doc.BarCount) {  // the last bar went
    if (doc.CurrentBar > last) doc.CurrentBar = last;
    if (doc.FirstVisibleBar > 0) --doc.FirstVisibleBar;
    if (doc.LastVisibleBar > 0) --doc.LastVisibleBar;
  }
  doc.FirstVisibleBar = std::min(doc.FirstVisibleBar, last);
  doc.LastVisibleBar = std::min(doc.LastVisibleBar, last);
  return true;
}

void ShiftSongParts(Osnova& doc, uint16_t at) {
  for (TSongPart& part : doc.SongParts)
    if (part.StartBar >= at) ++part.StartBar;
}

bool DropSongPart(Osnova& doc, uint16_t removed) {
  auto& parts = doc.SongParts;
  const auto end = std::remove_if(parts.begin(), parts.end(),
                                  [&](const TSongPart& p) { return p.StartBar == removed; });
  const bool dropped = end != parts.end();
  parts.erase(end, parts.end());
  for (TSongPart& part : parts)
    if (part.StartBar > removed) --part.StartBar;
  return dropped;
}

bool TClipBord::CopyBar(const Osnova& doc, uint16_t b, std::string& error) {
  if (b >= doc.Bars.size()) {
    error = "There is no bar " + std::to_string(b) + ".";
    return false;
  }
  Bar.CopyContentFrom(doc.Bar(b));
  return true;
}

bool TClipBord::CutBar(Osnova& doc, uint16_t b, std::string& error) {
  if (doc.Bars.size() <= 1) {
    error = kCannotCutAllBarsMessage;
    return false;
  }
  if (!CopyBar(doc, b, error)) return false;
  if (!RemoveBar(doc, b, error)) return false;
  DropSongPart(doc, b);
  return true;
}

bool TClipBord::PasteBar(Osnova& doc, uint16_t b, std::string& error) const {
  if (doc.Bars.size() >= kMaxBarCount) {
    error = kTooManyBarsMessage;
    return false;
  }
  if (b > doc.Bars.size()) {
    error = "There is no bar " + std::to_string(b) + ".";
    return false;
  }
  auto bar = NewBar(uint8_t{4}, uint8_t{16});
  bar->CopyContentFrom(Bar);
  InsertBarObject(doc, std::move(bar), b);
  ShiftSongParts(doc, b);
  return true;
}

namespace {

BarEdit Refused(std::string message) {
  BarEdit r;
  r.Message = std::move(message);
  return r;
}

void Call(const std::function<void()>& push) {
  if (push) push();
}

// The commands work on the current bar; a document whose CurrentBar points past its bars (never
// left so by the program) is refused rather than read out of bounds.
bool NoCurrentBar(const Osnova& doc) { return doc.CurrentBar >= doc.Bars.size(); }
constexpr const char* kNoCurrentBar = "There is no current bar.";

}  // namespace

BarEdit InsertBarCommand(Osnova& doc, const std::function<void()>& push) {
  if (NoCurrentBar(doc)) return Refused(kNoCurrentBar);
  if (doc.Bars.size() >= kMaxBarCount) return Refused(kTooManyBarsMessage);
  Call(push);
  const TBar& cur = doc.Current();
  const BarGrid grid = cur.Grid;
  std::string error;
  InsertBar(doc, cur.Length, doc.CurrentBar, cur.Denominator, error);
  doc.EditCurrent().Grid = grid;
  ShiftSongParts(doc, doc.CurrentBar);
  doc.Modified = true;
  BarEdit r;
  r.Done = true;
  return r;
}

// The common end of Remove and Cut, once they have been accepted: the current bar goes, and the
// song part that began there with it.
static BarEdit RemoveCurrentBar(Osnova& doc) {
  const uint16_t removed = doc.CurrentBar;
  std::string error;
  RemoveBar(doc, removed, error);
  BarEdit r;
  r.Done = true;
  r.PartNamesChanged = DropSongPart(doc, removed);
  doc.Modified = true;
  return r;
}

BarEdit RemoveBarCommand(Osnova& doc, const std::function<void()>& push) {
  if (NoCurrentBar(doc)) return Refused(kNoCurrentBar);
  if (doc.Bars.size() <= 1) return Refused(kCannotDeleteAllBarsMessage);
  Call(push);
  return RemoveCurrentBar(doc);
}

BarEdit ClearBarCommand(Osnova& doc, const std::function<void()>& push) {
  if (NoCurrentBar(doc)) return Refused(kNoCurrentBar);
  Call(push);
  TBar& bar = doc.EditCurrent();
  // Reset works from a numerator; keep the stored length and grid as they are, whatever the timing.
  const uint8_t length = bar.Length;
  const BarGrid grid = bar.Grid;
  bar.Reset(1, bar.Denominator);
  bar.Length = length;
  bar.Grid = grid;
  doc.Modified = true;
  BarEdit r;
  r.Done = true;
  return r;
}

BarEdit ChangeTimingCommand(Osnova& doc, int numerator, int denominator,
                            const std::function<void()>& push) {
  if (NoCurrentBar(doc)) return Refused(kNoCurrentBar);
  if (!IsTiming(numerator, denominator)) return Refused("This is not a bar timing.");
  const BarGrid grid = doc.Current().Grid;
  const uint8_t length = GridLength(numerator, denominator, grid);
  if (length == 0)
    return Refused("A " + std::to_string(numerator) + "/" + std::to_string(denominator) +
                   " bar cannot be written in " + GridName(grid) + ".");
  Call(push);
  BarEdit r;
  r.Done = true;
  // The timing the bar already has stores nothing new: a step to undo, but no change to save.
  if (doc.Current().Length == length && doc.Current().Denominator == denominator) return r;
  TBar& bar = doc.EditCurrent();
  bar.Length = length;
  bar.Denominator = static_cast<uint8_t>(denominator);
  doc.Modified = true;
  return r;
}

BarEdit ChangeGridCommand(Osnova& doc, BarGrid grid, const std::function<void()>& push) {
  if (NoCurrentBar(doc)) return Refused(kNoCurrentBar);
  const TBar& cur = doc.Current();
  const int64_t units = BarUnits(cur);
  const int64_t cells = units / CellUnits(grid);
  if (units % CellUnits(grid) != 0 || cells < 1)
    return Refused(std::string("This bar's timing cannot be written in ") + GridName(grid) + ".");
  if (cells > kMaxPositions)
    return Refused(std::string("A bar holds at most 64 cells: this bar would need ") +
                   std::to_string(cells) + " in " + GridName(grid) + ".");
  Call(push);
  BarEdit r;
  r.Done = true;
  if (cur.Grid == grid) return r;
  TBar& bar = doc.EditCurrent();
  const BarGrid from = bar.Grid;
  const int length = bar.Length;
  std::array<TNoteRow, kRowCount> rows{};
  uint64_t foot = 0;
  std::array<char, kMaxPositions> sticking{};
  int lost = 0;
  for (int p = 0; p < length; ++p) {
    const int to = RegridPosition(from, grid, p);
    for (int row = RowCymbals; row <= RowBass; ++row) {
      const TNoteRow& old = bar.Rows[static_cast<std::size_t>(row)];
      if (!old.Has(p)) continue;
      if (to < 0) {
        ++lost;
        continue;
      }
      auto& moved = rows[static_cast<std::size_t>(row)];
      moved.Notes |= uint64_t{1} << to;
      moved.Cells[static_cast<std::size_t>(to)] = old.Cells[static_cast<std::size_t>(p)];
    }
    if ((bar.FootNotes >> p) & 1u) {
      if (to < 0) ++lost;
      else foot |= uint64_t{1} << to;
    }
    if (to >= 0) sticking[static_cast<std::size_t>(to)] = bar.Sticking[static_cast<std::size_t>(p)];
  }
  bar.Rows = rows;
  bar.FootNotes = foot;
  bar.Sticking = sticking;
  bar.Grid = grid;
  bar.Length = static_cast<uint8_t>(cells);
  doc.Modified = true;
  if (lost > 0)
    r.Message = std::to_string(lost) + (lost == 1 ? " note has" : " notes have") + " no place in " +
                GridName(grid) + " and " + (lost == 1 ? "was" : "were") + " removed.";
  return r;
}

BarEdit CopyBarCommand(TClipBord& clip, Osnova& doc, bool fromKeyboard) {
  BarEdit r;
  if (!clip.CopyBar(doc, doc.CurrentBar, r.Message)) return r;
  if (!fromKeyboard) doc.Modified = true;
  r.Done = true;
  return r;
}

BarEdit CutBarCommand(TClipBord& clip, Osnova& doc, const std::function<void()>& push) {
  if (NoCurrentBar(doc)) return Refused(kNoCurrentBar);
  if (doc.Bars.size() <= 1) return Refused(kCannotCutAllBarsMessage);
  Call(push);
  std::string error;
  clip.CopyBar(doc, doc.CurrentBar, error);
  return RemoveCurrentBar(doc);
}

BarEdit PasteBarCommand(const TClipBord& clip, Osnova& doc, const std::function<void()>& push) {
  if (NoCurrentBar(doc)) return Refused(kNoCurrentBar);
  if (doc.Bars.size() >= kMaxBarCount) return Refused(kTooManyBarsMessage);
  Call(push);
  std::string error;
  clip.PasteBar(doc, doc.CurrentBar, error);
  doc.Modified = true;
  BarEdit r;
  r.Done = true;
  return r;
}
