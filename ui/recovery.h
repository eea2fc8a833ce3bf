// The window's side of crash recovery: while the song has unsaved changes a copy is written every
// 30 seconds (GROOVELOOM_AUTOSAVE_SECONDS) and after every 50th edit, from a snapshot of its bytes
// taken on this thread and written on the writer's; at start-up, copies left by a crash are
// offered back.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstddef>
#include <functional>
#include <memory>

#include "files/recovery_copy.h"

class DialogService;
class QWidget;
class Osnova;

inline constexpr int kAutosaveSeconds = 30;
inline constexpr int kAutosaveEdits = 50;

class RecoveryKeeper : public QObject {
 public:
  using DocumentSource = std::function<const Osnova*()>;  // the document shown, or null
  // Recovers one copy: opens it as the unsaved song of `original` (empty: never saved).
  using Recoverer = std::function<bool(const QString& copy, const QString& original)>;

  RecoveryKeeper(QWidget* window, DialogService& dialogs, DocumentSource document,
                 const std::string& folder = RecoveryFolder());
  ~RecoveryKeeper() override;  // a normal end leaves no copy behind

  void EditMade();  // every 50th edit writes a copy once the edit is done
  void WriteNow();  // a copy now, if the song has unsaved changes the copy does not hold yet
  void Discard();   // the song was saved, or is being replaced

  // At start-up: asks about each copy left by an ended process, newest first, until one is
  // recovered; Discard deletes a copy. Copies not asked about stay for the next start.
  void Offer(const Recoverer& recover);

  int IntervalMs() const { return timer_.interval(); }
  void SetIntervalMs(int ms) { timer_.start(ms); }
  RecoveryWriter& Writer() { return *writer_; }

 private:
  void Failed(const QString& reason);

  QWidget* window_;
  DialogService& dialogs_;
  DocumentSource document_;
  std::unique_ptr<RecoveryWriter> writer_;
  QTimer timer_;
  std::size_t edits_ = 0;
  bool written_ = false;      // the copy on disk (or on its way) is of the song as it is
  std::size_t lastHash_ = 0;  // of the bytes last handed to the writer
  bool reported_ = false;     // an unwritable folder is reported once per run
};

// The interval from GROOVELOOM_AUTOSAVE_SECONDS (seconds, fractions allowed), else 30 s.
int AutosaveIntervalMs();
