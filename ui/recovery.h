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

// New and Open over a song recovered after a crash that has not been saved since.
inline constexpr const char* kReplaceRecoveredQuestion =
    "You have not saved the song recovered after Grooveloom was not closed properly. Replace it "
    "anyway? What was recovered will be lost.";

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

  // At start-up: each copy left by an ended process, newest first. A copy that cannot be read is
  // set aside (kept for inspection) and reported; about each other copy the user chooses Recover,
  // Discard or Later. The first song recovered opens here, each further one in a new window;
  // Later, Escape or closing the box keeps the copy to be asked about at the next start. True
  // when a song was recovered into this window.
  bool Offer(const Recoverer& recover);
  // Takes over one abandoned copy without asking (a new window started for it by Offer).
  bool RecoverCopy(const QString& tabPath, const Recoverer& recover);
  // Starts a new window of the program that recovers `copy`; false when it cannot be started.
  std::function<bool(const QString& copy)> OpenInNewWindow;

  int IntervalMs() const { return timer_.interval(); }
  void SetIntervalMs(int ms) { timer_.start(ms); }
  RecoveryWriter& Writer() { return *writer_; }

 private:
  void Failed(const QString& reason);
  bool Recover(const AbandonedCopy& copy, const Recoverer& recover);
  void ReportDamaged(const AbandonedCopy& copy, const std::string& reason);

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
