// The editing session: the song being edited with its cursor, its undo history and the lock that
// playback reads the bars under. It is the one way to replace the song (New, Open, an import, a
// recovered copy, Undo and Redo) and the way every edit takes its undo snapshot; its observers (the
// window, which repaints and feeds the recovery copy) hear of each replacement and each edit once.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "model/tab_cursor.h"
#include "model/tab_document.h"
#include "model/undo_history.h"

// Where a replacing song came from.
enum class SongSource {
  New,
  Opened,    // a tab file, or a recovered copy of one
  Imported,  // a text tab or a MIDI file: no file name yet
  Refused,   // a blank stand-in after a file could not be read: nothing to show or save
  Undone,
  Redone,
};

class SessionObserver {
 public:
  // The new song is in place (the lock is released again); its history and cursor are set.
  virtual void SongReplaced(SongSource source) = 0;
  // A snapshot was just taken: an edit of the song follows.
  virtual void SongEdited() = 0;

 protected:
  ~SessionObserver() = default;
};

class EditSession {
 public:
  // `kitInUse`: the kit an opened, imported or restored song makes the one in use (none: no such kit).
  explicit EditSession(KitRows* kitInUse = nullptr, int undoSlots = kDeepUndoSlots,
                       std::size_t undoBytes = kDeepUndoBytes);

  // Null before the first New or Open.
  Osnova* Document() { return doc_.get(); }
  const Osnova* Document() const { return doc_.get(); }
  std::optional<TCursor>& Cursor() { return cursor_; }
  const std::optional<TCursor>& Cursor() const { return cursor_; }
  UR_Stack& History() { return history_; }
  // Held by every change of the bars and the kit, which playback reads from its own thread.
  std::mutex& Lock() { return lock_; }

  // Observers are told in the order they were added; each must outlive the session or be removed.
  void AddObserver(SessionObserver& observer);
  void RemoveObserver(SessionObserver& observer);

  // Puts `doc` in place of the song under the lock and forgets the history. The cursor goes to the
  // start of the first line (made with `pace` if there was none); a Refused stand-in has none. An
  // opened or imported song's kit becomes the kit in use, as the kit page shows it.
  void Replace(std::unique_ptr<Osnova> doc, SongSource source, uint8_t pace = 4);

  // The snapshot before an edit, named for the Undo and Redo items ("note entry").
  void Push(const char* what);

  // Runs a document command so that playback never reads a half-changed bar: the snapshot (which
  // only reads) is taken unlocked, the change itself under the lock, released on return before
  // any drawing. `command` gets the push callback to hand to the model command.
  template <class Command>
  auto Edit(const char* what, Command command) {
    std::unique_lock<std::mutex> lock(lock_, std::defer_lock);
    return command([&] {
      Push(what);
      if (!lock.owns_lock()) lock.lock();
    });
  }

  // The song tempo as an edit of its own ("tempo change"); a snapshot even when it stays.
  void SetTempo(uint16_t tempo);
  // The song's swing as an edit of its own ("swing change"); a snapshot even when it stays, and
  // Modified only when it changed.
  void SetSwing(const SongSwing& swing);
  // The current bar's comment while it is typed; the snapshot was taken as typing began.
  void SetComment(const std::string& comment);

  enum class Step { None, Refused, Done };
  // Undo (true) or Redo (false): None when there is no such step, Refused when the history could
  // not restore it (the song stays as it was), Done when the song was replaced.
  Step Restore(bool undo);

 private:
  UndoView View() const;
  void Notify(SongSource source);

  std::mutex lock_;
  KitRows* kitInUse_;
  std::unique_ptr<Osnova> doc_;
  std::optional<TCursor> cursor_;
  UR_Stack history_;
  std::vector<SessionObserver*> observers_;
};
