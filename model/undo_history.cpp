#include "model/undo_history.h"

#include <algorithm>

#include "files/tab_file.h"

UR_Stack::UR_Stack(int slotCount) : slots_(static_cast<std::size_t>(std::max(slotCount, 2))) {
  Reset();
}

void UR_Stack::Reset() {
  current_ = -1;
  redoPos_ = 0;
  top_ = 0;
  pending_ = false;
  for (auto& slot : slots_) {
    std::string().swap(slot.Bytes);
    slot.Saved = false;
  }
}

void UR_Stack::Push(const Osnova& doc, const UndoView& view) {
  if (current_ + 1 == SlotCount()) {
    // Every slot is in use: drop the oldest and move the others down one.
    std::rotate(slots_.begin(), slots_.begin() + 1, slots_.end());
    --current_;
  }
  ++current_;
  top_ = redoPos_ = current_ + 1;
  TUndoSlot& slot = slots_[static_cast<std::size_t>(current_)];
  WriteTabBytesInto(doc, slot.Bytes);
  slot.View = view;
  slot.Saved = !doc.Modified;
  pending_ = true;
}

void UR_Stack::MarkSaved() {
  // After Undo or Redo the live document is the slot above Current; after an edit it is in none
  // until the next Push stores it.
  for (TUndoSlot& slot : slots_) slot.Saved = false;
  if (!pending_ && current_ + 1 < top_) slots_[static_cast<std::size_t>(current_ + 1)].Saved = true;
}

std::optional<UR_Stack::Restored> UR_Stack::Restore(bool undo, const Osnova& live,
                                                    const UndoView& liveView) {
  if (undo ? !CanUndo() : !CanRedo()) return std::nullopt;
  // Read the slot before any counter moves, so that a failure leaves the history as it was.
  // Undo after an edit first stores the live document above Current, then restores Current
  // itself (which the limit may move down one place, with its bytes).
  const int slotIndex = undo ? current_ : redoPos_;
  const TUndoSlot& slot = slots_[static_cast<std::size_t>(slotIndex)];
  auto doc = ReadTabBytes(slot.Bytes);
  if (!doc || doc->BarCount < 1) return std::nullopt;
  // A view outside the restored song is brought into it; one that still shows its current bar
  // above the first visible one cannot be drawn, and the step is refused as unreadable.
  UndoView view = slot.View;
  const int lastBar = doc->BarCount - 1;
  view.CurrentBar = std::clamp(view.CurrentBar, 0, lastBar);
  view.FirstVisibleBar = std::clamp(view.FirstVisibleBar, 0, lastBar);
  view.LastVisibleBar = std::clamp(view.LastVisibleBar, view.FirstVisibleBar, lastBar);
  if (view.FirstVisibleBar > view.CurrentBar) return std::nullopt;

  if (undo) {
    if (current_ + 1 == top_ && pending_) {
      Push(live, liveView);  // so that Redo can come back to the live document
      --current_;
    }
    --current_;
    --redoPos_;
  } else {
    const int c0 = current_;
    current_ = c0 + 1;
    ++redoPos_;
  }
  pending_ = false;

  doc->FileName = live.FileName;
  // Without a pending edit the live document is the slot above Current.
  doc->Modified = !slots_[static_cast<std::size_t>(current_ + 1)].Saved;
  doc->HasFile = live.HasFile;
  doc->CurrentBar = static_cast<uint16_t>(view.CurrentBar);
  doc->FirstVisibleBar = static_cast<uint16_t>(view.FirstVisibleBar);
  doc->LastVisibleBar = static_cast<uint16_t>(view.LastVisibleBar);
  GlobalKit = doc->Kit;
  return Restored{std::move(doc), view};
}
