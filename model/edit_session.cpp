#include "model/edit_session.h"

#include <algorithm>

EditSession::EditSession(KitRows* kitInUse, int undoSlots, std::size_t undoBytes)
    : kitInUse_(kitInUse), history_(undoSlots, undoBytes) {}

void EditSession::AddObserver(SessionObserver& observer) { observers_.push_back(&observer); }

void EditSession::RemoveObserver(SessionObserver& observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), &observer), observers_.end());
}

void EditSession::Notify(SongSource source) {
  for (SessionObserver* observer : observers_) observer->SongReplaced(source);
}

UndoView EditSession::View() const {
  UndoView v;
  v.FirstVisibleBar = doc_->FirstVisibleBar;
  v.LastVisibleBar = doc_->LastVisibleBar;
  v.CurrentBar = doc_->CurrentBar;
  if (cursor_) {
    v.Column = cursor_->Column;
    v.Line = cursor_->Line;
  }
  return v;
}

void EditSession::Replace(std::unique_ptr<Osnova> doc, SongSource source, uint8_t pace) {
  {
    const std::lock_guard<std::mutex> guard(lock_);
    doc_ = std::move(doc);
    if (kitInUse_ && (source == SongSource::Opened || source == SongSource::Imported)) *kitInUse_ = doc_->Kit;
  }
  history_.Reset();
  if (source == SongSource::Refused) {
    cursor_.reset();  // the next New or Open makes it with the pace of the box
  } else {
    if (!cursor_) cursor_ = TCursor{0, 0, pace};
    cursor_->Column = 0;
    cursor_->Line = 0;
  }
  Notify(source);
}

void EditSession::Push(const char* what) {
  if (!doc_) return;
  history_.Push(*doc_, View(), what);
  for (SessionObserver* observer : observers_) observer->SongEdited();
}

void EditSession::SetTempo(uint16_t tempo) {
  if (!doc_) return;
  Push("tempo change");
  if (doc_->Tempo == tempo) return;
  doc_->Tempo = tempo;
  doc_->Modified = true;
}

void EditSession::SetSwing(const SongSwing& swing) {
  if (!doc_) return;
  Push("swing change");
  if (doc_->Swing == swing) return;
  const std::lock_guard<std::mutex> guard(lock_);  // playback reads the swing with the bars
  doc_->Swing = swing;
  doc_->Modified = true;
}

void EditSession::SetComment(const std::string& comment) {
  if (!doc_ || doc_->Current().Comment == comment) return;
  const std::lock_guard<std::mutex> guard(lock_);  // un-sharing the bar moves what playback reads
  doc_->EditCurrent().Comment = comment;
  doc_->Modified = true;  // the comment is saved with the document
}

EditSession::Step EditSession::Restore(bool undo) {
  if (!doc_ || (undo ? !history_.CanUndo() : !history_.CanRedo())) return Step::None;
  std::optional<UR_Stack::Restored> restored;
  {
    // Restoring sets the kit in use, which playback reads with the bars.
    const std::lock_guard<std::mutex> guard(lock_);
    restored = history_.Restore(undo, *doc_, View());
    // Its current bar and visible range are the snapshot's.
    if (restored) {
      doc_ = std::move(restored->Doc);
      if (kitInUse_) *kitInUse_ = doc_->Kit;
    }
  }
  // Refused before moving: the live song and the steps stay.
  if (!restored) return Step::Refused;
  if (cursor_) {
    cursor_->Column = restored->View.Column;
    cursor_->Line = restored->View.Line;
  }
  Notify(undo ? SongSource::Undone : SongSource::Redone);
  return Step::Done;
}
