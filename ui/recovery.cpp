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

void RecoveryKeeper::Offer(const Recoverer& recover) {
  for (const AbandonedCopy& copy : FindAbandonedCopies(writer_->Folder())) {
    const QString original = PathFromLocalBytes(QByteArray::fromStdString(copy.Info.Original));
    const QString name = original.isEmpty() ? QString("Unnamed") : QFileInfo(original).fileName();
    const QString time =
        QDateTime::fromSecsSinceEpoch(copy.WrittenAt).toString("yyyy-MM-dd HH:mm");
    const int choice = dialogs_.Choose(
        window_, "Grooveloom",
        QString("Grooveloom was not closed properly. Recover the unsaved song \"%1\" from %2?")
            .arg(name, time),
        {"Recover", "Discard"});
    if (choice != 0) {
      DeleteCopy(copy);
      continue;
    }
    if (recover(PathFromLocalBytes(QByteArray::fromStdString(copy.TabPath)), original)) {
      // Our own copy first, so that a crash right now still loses nothing.
      WriteNow();
      writer_->WaitIdle();
      std::error_code error;
      if (std::filesystem::exists(writer_->TabPath(), error)) DeleteCopy(copy);
      return;
    }
    DeleteCopy(copy);  // unreadable: the reader has said so
  }
}
