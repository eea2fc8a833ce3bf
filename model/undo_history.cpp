#include "model/undo_history.h"

#include <algorithm>

UR_Stack::UR_Stack(int slotCount, std::size_t memoryLimit)
    : slotCount_(std::max(slotCount, 2)), memoryLimit_(memoryLimit) {
  Reset();
}

void UR_Stack::Reset() {
  current_ = -1;
  redoPos_ = 0;
  top_ = 0;
  pending_ = false;
  slots_.clear();
  bytes_ = 0;
  clean_.clear();
}

std::size_t UR_Stack::Cost(const TUndoSlot& slot, const BarArray& next) const {
  const Osnova& doc = *slot.Doc;
  std::size_t bytes = sizeof(TUndoSlot) + sizeof(Osnova) + slot.What.capacity() +
                      doc.SongParts.capacity() * sizeof(TSongPart);
  return bytes + doc.Bars.UnsharedBytes(&next);
}

void UR_Stack::DropOldest() {
  bytes_ -= slots_.front().Bytes;
  slots_.pop_front();
  --current_;
  top_ = std::max(top_ - 1, 0);
  redoPos_ = std::max(redoPos_ - 1, 0);
}

void UR_Stack::Truncate(std::size_t count) {
  while (slots_.size() > count) {
    bytes_ -= slots_.back().Bytes;
    slots_.pop_back();
  }
}

void UR_Stack::Push(const Osnova& doc, const UndoView& view, std::string what) {
  if (current_ + 1 == SlotCount()) DropOldest();  // every slot in use: the oldest goes
  ++current_;
  top_ = redoPos_ = current_ + 1;
  Truncate(static_cast<std::size_t>(current_));  // any redo beyond this point is discarded

  auto snapshot = std::make_unique<Osnova>(doc);
  // Notes a timing change left beyond a bar's length are not part of a snapshot, as they are not
  // part of a file. Only bars written since the last clean copy can hold any.
  BarArray& bars = snapshot->Bars;
  for (std::size_t c = 0; c < bars.ChunkCount(); ++c) {
    if (bars.SharesChunk(clean_, c)) continue;
    const std::size_t end = std::min(bars.size(), (c + 1) * BarArray::kChunkSize);
    for (std::size_t i = c * BarArray::kChunkSize; i < end; ++i)
      if (!bars.HeldBy(clean_, i) && bars[i]->HasHiddenNotes()) bars.Edit(i).DropHiddenNotes();
  }
  clean_ = bars;

  TUndoSlot slot;
  slot.Doc = std::move(snapshot);
  slot.View = view;
  slot.What = std::move(what);
  slot.Saved = !doc.Modified;
  if (!slots_.empty()) {
    TUndoSlot& previous = slots_.back();
    bytes_ -= previous.Bytes;
    previous.Bytes = Cost(previous, slot.Doc->Bars);
    bytes_ += previous.Bytes;
  }
  // Until the next Push the newest snapshot shares everything with the live document.
  slot.Bytes = Cost(slot, doc.Bars);
  bytes_ += slot.Bytes;
  slots_.push_back(std::move(slot));
  pending_ = true;
  // The two newest slots always stay: Undo right after this Push restores the one below it.
  while (bytes_ > memoryLimit_ && current_ > 1) DropOldest();
}

void UR_Stack::MarkSaved() {
  // After Undo or Redo the live document is the slot above Current; after an edit it is in none
  // until the next Push stores it.
  for (TUndoSlot& slot : slots_) slot.Saved = false;
  if (!pending_ && current_ + 1 < top_) slots_[static_cast<std::size_t>(current_ + 1)].Saved = true;
}

std::string UR_Stack::UndoName() const {
  return CanUndo() ? slots_[static_cast<std::size_t>(current_)].What : std::string();
}

std::string UR_Stack::RedoName() const {
  return CanRedo() ? slots_[static_cast<std::size_t>(redoPos_ - 1)].What : std::string();
}

std::optional<UR_Stack::Restored> UR_Stack::Restore(bool undo, const Osnova& live,
                                                    const UndoView& liveView) {
  if (undo ? !CanUndo() : !CanRedo()) return std::nullopt;
  // Copy the slot before any counter moves, so that a refusal leaves the history as it was.
  // Undo after an edit first stores the live document above Current, then restores Current
  // itself (which the limits may move down, with its snapshot).
  const TUndoSlot& slot = slots_[static_cast<std::size_t>(undo ? current_ : redoPos_)];
  if (slot.Doc->BarCount < 1) return std::nullopt;
  // A view outside the restored song is brought into it; one that still shows its current bar
  // above the first visible one cannot be drawn, and the step is refused.
  UndoView view = slot.View;
  const int lastBar = slot.Doc->BarCount - 1;
  view.CurrentBar = std::clamp(view.CurrentBar, 0, lastBar);
  view.FirstVisibleBar = std::clamp(view.FirstVisibleBar, 0, lastBar);
  view.LastVisibleBar = std::clamp(view.LastVisibleBar, view.FirstVisibleBar, lastBar);
  if (view.FirstVisibleBar > view.CurrentBar) return std::nullopt;
  auto doc = std::make_unique<Osnova>(*slot.Doc);

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
  clean_ = doc->Bars;
  return Restored{std::move(doc), view};
}
