// The undo/redo history: whole-document snapshots kept in memory with the view and cursor of that
// moment. A snapshot is a copy of the document that shares its bars (model/bar_array.h), so it costs
// the bars the next edit changes, not the song; the history is bounded by a number of steps and by
// the memory its snapshots hold apart from each other, the oldest dropped first. In memory, so no
// folder change of a file dialog can break the history and nothing is left on disk at exit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "model/tab_document.h"

struct UndoView {
  int32_t FirstVisibleBar = 0;
  int32_t LastVisibleBar = 0;
  int32_t CurrentBar = 0;
  uint8_t Column = 0;  // cursor column
  uint8_t Line = 0;    // cursor view line
  bool operator==(const UndoView&) const = default;
};

// The window's history: deep, bounded by memory rather than by a handful of steps.
constexpr int kDeepUndoSlots = 10000;
constexpr std::size_t kDeepUndoBytes = std::size_t{64} << 20;

class UR_Stack {
 public:
  // At most slotCount snapshots (at least 2) holding at most memoryLimit bytes between them.
  explicit UR_Stack(int slotCount = 10, std::size_t memoryLimit = SIZE_MAX);

  // Snapshot of the live document, taken before an edit changes it; `what` names the edit for the
  // Undo and Redo items ("note entry"). An unmodified document is the saved state, and its slot is
  // marked as such. Notes beyond a bar's length are left out, as the tab file leaves them out.
  void Push(const Osnova& doc, const UndoView& view, std::string what = {});

  // Undo (true) or redo (false). Returns the document to show instead of `live`: the slot's, with
  // live's FileName and HasFile, Modified unless it is the state last saved, and its
  // CurrentBar and visible range taken from the slot's view. nullopt, with the
  // history unchanged, when there is no such step or the slot's view cannot be shown: the caller
  // keeps its live document and may try again.
  struct Restored {
    std::unique_ptr<Osnova> Doc;
    UndoView View;
  };
  std::optional<Restored> Restore(bool undo, const Osnova& live, const UndoView& liveView);

  bool CanUndo() const { return current_ >= 0; }
  bool CanRedo() const { return !pending_ && redoPos_ < top_; }
  // The name of the edit the next Undo or Redo takes back or does again; empty when there is none
  // or it was pushed without a name.
  std::string UndoName() const;
  std::string RedoName() const;
  // Forgets everything (New, Open); the live document is the saved state.
  void Reset();
  // The live document was just saved: Undo or Redo back to it restores an unmodified document.
  void MarkSaved();

  int Current() const { return current_; }
  int Top() const { return top_; }
  int RedoPos() const { return redoPos_; }
  bool Pending() const { return pending_; }
  int SlotCount() const { return slotCount_; }
  // Estimated bytes the snapshots hold that neither their neighbours nor the live document share.
  std::size_t MemoryUsed() const { return bytes_; }

 private:
  struct TUndoSlot {
    std::unique_ptr<const Osnova> Doc;
    UndoView View;
    std::string What;     // the edit that followed this state
    bool Saved = false;   // the state last opened or saved
    std::size_t Bytes = 0;  // what this snapshot holds that the next one does not
  };
  void DropOldest();
  void Truncate(std::size_t count);
  std::size_t Cost(const TUndoSlot& slot, const BarArray& next) const;

  std::deque<TUndoSlot> slots_;  // [0, top_)
  int slotCount_;
  std::size_t memoryLimit_;
  std::size_t bytes_ = 0;
  // Bars known to hold no notes beyond their length (the newest snapshot's or the restored
  // document's): only bars the live document no longer shares with these are checked at Push.
  BarArray clean_;
  int current_ = -1;  // slot the next Undo restores
  int top_ = 0;       // one past the newest valid slot
  int redoPos_ = 0;   // slot the next Redo restores
  bool pending_ = false;  // an edit followed the last Push: the live document is in no slot
};
