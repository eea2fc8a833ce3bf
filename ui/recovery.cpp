#include "ui/recovery.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <filesystem>
#include <string_view>

#include "files/tab_file.h"
#include "model/tab_document.h"
#include "ui/dialogs.h"
#include "ui/local_path.h"

int AutosaveIntervalMs() {
  bool ok = false;
  const double seconds = qEnvironmentVariable("GROOVELOOM_AUTOSAVE_SECONDS").toDouble(&ok);
  if (!ok || !(seconds > 0) || seconds > 24 * 3600) return kAutosaveSeconds * 1000;
  return std::max(1, static_cast<int>(seconds * 1000));
}

RecoveryKeeper::RecoveryKeeper(QWidget* window, DialogService& dialogs, DocumentSource document,
                               const std::string& folder)
    : window_(window), dialogs_(dialogs), document_(std::move(document)) {
  // The writer's thread reports failures here, on the window's thread.
  writer_ = std::make_unique<RecoveryWriter>(folder, [this](const std::string& reason) {
    QMetaObject::invokeMethod(this, [this, r = QString::fromLocal8Bit(reason.c_str())] { Failed(r); },
                              Qt::QueuedConnection);
  });
  connect(&timer_, &QTimer::timeout, this, &RecoveryKeeper::WriteNow);
  timer_.start(AutosaveIntervalMs());
}

RecoveryKeeper::~RecoveryKeeper() {
  timer_.stop();
  writer_->Remove();
  writer_.reset();  // waits for the removal
}

void RecoveryKeeper::EditMade() {
  // Counted before the edit changes the song: the copy is taken once the event has been handled.
  if (++edits_ % kAutosaveEdits == 0) QTimer::singleShot(0, this, &RecoveryKeeper::WriteNow);
}

void RecoveryKeeper::WriteNow() {
  const Osnova* doc = document_();
  if (!doc || !doc->Modified) return;
  // The only work on this thread: the bytes of the song (the same snapshot undo takes).
  std::string bytes = WriteTabBytes(*doc);
  const std::size_t hash = std::hash<std::string_view>{}(bytes);
  if (written_ && hash == lastHash_) return;
  written_ = true;
  lastHash_ = hash;
  writer_->Write(std::move(bytes), doc->HasFile ? doc->FileName : std::string());
}

void RecoveryKeeper::Discard() {
  written_ = false;
  writer_->Remove();
}

void RecoveryKeeper::Failed(const QString& reason) {
  written_ = false;  // tried again at the next interval
  if (reported_) return;
  reported_ = true;
  dialogs_.Message(window_, DialogService::Icon::Warning, "Grooveloom",
                   QString("Cannot write the recovery copy of the song to \"%1\": %2. Grooveloom "
                           "goes on, but cannot bring back unsaved changes after a crash.")
                       .arg(PathFromLocalBytes(QByteArray::fromStdString(writer_->Folder())), reason));
}

namespace {

QString LocalQString(const std::string& path) { return PathFromLocalBytes(QByteArray::fromStdString(path)); }

QString SongName(const AbandonedCopy& copy) {
  const QString original = LocalQString(copy.Info.Original);
  return original.isEmpty() ? QString("Unnamed") : QFileInfo(original).fileName();
}

QString WrittenAt(const AbandonedCopy& copy) {
  return QDateTime::fromSecsSinceEpoch(copy.WrittenAt).toString("yyyy-MM-dd HH:mm");
}

}  // namespace

bool RecoveryKeeper::Offer(const Recoverer& recover) {
  enum { kRecover, kDiscard, kLater };
  bool recoveredHere = false;
  for (const AbandonedCopy& copy : FindAbandonedCopies(writer_->Folder())) {
    // Checked before asking: a copy that cannot be read is no choice to offer.
    if (std::string reason; !CopyIsReadable(copy, reason)) {
      ReportDamaged(copy, reason);
      continue;
    }
    const QString question =
        QString("Grooveloom was not closed properly. Recover the unsaved song \"%1\" from %2%3?")
            .arg(SongName(copy), WrittenAt(copy), QString(recoveredHere ? " in a new window" : ""));
    const int choice = dialogs_.Choose(
        window_, "Grooveloom", question,
        {recoveredHere ? "Recover in New Window" : "Recover", "Discard", "Later"}, kRecover, kLater);
    if (choice == kDiscard) {
      DeleteCopy(copy);
    } else if (choice == kRecover && !recoveredHere) {
      recoveredHere = Recover(copy, recover);
    } else if (choice == kRecover) {
      const QString tab = LocalQString(copy.TabPath);
      if (!OpenInNewWindow || !OpenInNewWindow(tab))
        dialogs_.Message(window_, DialogService::Icon::Warning, "Grooveloom",
                         QString("Cannot start a new window of Grooveloom for the unsaved song \"%1\". "
                                 "Its recovery copy is kept and offered again at the next start.")
                             .arg(SongName(copy)));
    }
    // Later (and Escape): the copy stays where it is, for the next start.
  }
  return recoveredHere;
}

bool RecoveryKeeper::RecoverCopy(const QString& tabPath, const Recoverer& recover) {
  const std::optional<AbandonedCopy> copy = FindAbandonedCopy(writer_->Folder(), LocalPathString(tabPath));
  if (!copy) {
    dialogs_.Message(window_, DialogService::Icon::Warning, "Grooveloom",
                     QString("The recovery copy \"%1\" is no longer there: it was recovered or "
                             "discarded in another window.")
                         .arg(tabPath));
    return false;
  }
  if (std::string reason; !CopyIsReadable(*copy, reason)) {
    ReportDamaged(*copy, reason);
    return false;
  }
  return Recover(*copy, recover);
}

bool RecoveryKeeper::Recover(const AbandonedCopy& copy, const Recoverer& recover) {
  if (!recover(LocalQString(copy.TabPath), LocalQString(copy.Info.Original))) {
    // Readable a moment ago: whatever went wrong, the copy is kept.
    std::string error;
    SetDamagedCopyAside(copy, error);
    return false;
  }
  // Our own copy first, so that a crash right now still loses nothing.
  WriteNow();
  writer_->WaitIdle();
  std::error_code error;
  if (std::filesystem::exists(writer_->TabPath(), error)) DeleteCopy(copy);
  return true;
}

void RecoveryKeeper::ReportDamaged(const AbandonedCopy& copy, const std::string& reason) {
  std::string error;
  const std::string kept = SetDamagedCopyAside(copy, error);
  // The reader's own message says no more than "damaged"; a system error (no permission) does.
  const QString why =
      reason == kDamagedTabFileMessage ? QString() : " (" + QString::fromLocal8Bit(reason.c_str()) + ")";
  QString text = QString("Grooveloom was not closed properly, but the recovery copy of the unsaved "
                         "song \"%1\" from %2 is damaged and cannot be opened%3. ")
                     .arg(SongName(copy), WrittenAt(copy), why);
  if (!kept.empty())
    text += QString("It has been kept as \"%1\".").arg(LocalQString(kept));
  else
    text += QString("It stays as \"%1\" (it could not be moved aside: %2).")
                .arg(LocalQString(copy.TabPath), QString::fromLocal8Bit(error.c_str()));
  dialogs_.Message(window_, DialogService::Icon::Warning, "Grooveloom", text);
}
