// The undo/redo history: up to SlotCount whole-document snapshots, each the exact bytes the tab
// file writer produces, kept in memory with the view and cursor of that moment. In memory, so no
// folder change of a file dialog can break the history and nothing is left on disk at exit.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/tab_document.h"

struct UndoView {
  int32_t FirstVisibleBar = 0;
  int32_t LastVisibleBar = 0;
  int32_t CurrentBar = 0;
  uint8_t Column = 0;  // cursor column
  uint8_t Line = 0;    // cursor view line
  bool operator==(const UndoView&) const = default;
};

class UR_Stack {
 public:
  explicit UR_Stack(int slotCount = 10);

  // Snapshot of the live document, taken before an edit changes it. An unmodified document is the
  // saved state, and its slot is marked as such.
  void Push(const Osnova& doc, const UndoView& view);

  // Undo (true) or redo (false). Returns the document to show instead of `live`: read back from
  // the slot, with live's FileName and HasFile, Modified unless it is the state last saved, its kit made the GlobalKit, and its
  // CurrentBar and visible range taken from the slot's view. nullopt, with the history unchanged,
  // when there is no such step or the slot cannot be used (unreadable bytes, or a view that
  // cannot be shown): the caller keeps its live document and may try again.
  struct Restored {
    std::unique_ptr<Osnova> Doc;
    UndoView View;
  };
  std::optional<Restored> Restore(bool undo, const Osnova& live, const UndoView& liveView);

  bool CanUndo() const { return current_ >= 0; }
  bool CanRedo() const { return !pending_ && redoPos_ < top_; }
  // Forgets everything (New, Open); the live document is the saved state.
  void Reset();
  // The live document was just saved: Undo or Redo back to it restores an unmodified document.
  void MarkSaved();

  int Current() const { return current_; }
  int Top() const { return top_; }
  int RedoPos() const { return redoPos_; }
  bool Pending() const { return pending_; }
  int SlotCount() const { return static_cast<int>(slots_.size()); }

 private:
  struct TUndoSlot {
    std::string Bytes;
    UndoView View;
    bool Saved = false;  // the state last opened or saved
  };
  std::vector<TUndoSlot> slots_;
  int current_ = -1;  // slot the next Undo restores
  int top_ = 0;       // one past the newest valid slot
  int redoPos_ = 0;   // slot the next Redo restores
  bool pending_ = false;  // an edit followed the last Push: the live document is in no slot
};
