// The main window's part in the desktop: File > Recent Files, and the recovery copy that keeps an
// unsaved song safe from a crash.
#include <QAction>
#include <QFile>
#include <QMenu>

#include "ui/dialogs.h"
#include "ui/local_path.h"
#include "ui/main_window.h"
#include "ui/recent_files_menu.h"
#include "ui/recovery.h"

void TFmain::SetUpDesktopIntegration() {
  RecentFiles1 = new QMenu("Recent &Files", File1);
  RecentFiles1->setObjectName("RecentFiles1");
  // Right below Open.
  const QList<QAction*> items = File1->actions();
  const qsizetype open = items.indexOf(Open2);
  File1->insertMenu(open >= 0 && open + 1 < items.size() ? items[open + 1] : nullptr, RecentFiles1);
  recent_ = new RecentFilesMenu(RecentFiles1, this, dialogs_, [this](const QString& path) {
    OpenDocumentFile(path);
  });
  // The list may have grown in another running copy of the program.
  connect(File1, &QMenu::aboutToShow, recent_, &RecentFilesMenu::Refresh);

  recovery_ = std::make_unique<RecoveryKeeper>(this, dialogs_, [this]() -> const Osnova* {
    return DocumentShown() ? Document() : nullptr;
  });
}

void TFmain::DocumentOpened(const QString& path) {
  if (!recovering_) recent_->Remember(path);
}

void TFmain::DocumentSaved(const QString& path) {
  recent_->Remember(path);
  recovery_->Discard();
  recoveredUnsaved_ = false;
}

void TFmain::DocumentReplaced() {
  recovery_->Discard();
  recoveredUnsaved_ = false;
}

void TFmain::DocumentEdited() {
  recovery_->EditMade();
  ShowModifiedMarker();
}

bool TFmain::OfferRecovery() {
  return recovery_->Offer([this](const QString& copy, const QString& original) {
    return RecoverDocument(copy, original);
  });
}

bool TFmain::RecoverCopy(const QString& copy) {
  return recovery_->RecoverCopy(copy, [this](const QString& tab, const QString& original) {
    return RecoverDocument(tab, original);
  });
}

bool TFmain::AskBeforeReplacingRecovered() {
  // The only copy of that work is in this window now: keeping it is what Enter and Escape do.
  return dialogs_.Choose(this, "Warning", kReplaceRecoveredQuestion,
                         {"Replace", "Keep Recovered Song"}, 1, 1) == 0;
}

bool TFmain::RecoverDocument(const QString& copy, const QString& original) {
  recovering_ = true;
  const bool opened = OpenDocumentFile(copy);
  recovering_ = false;
  if (!opened) return false;
  // The song of its own file, with unsaved changes: Save writes to that file.
  Document()->FileName = original.isEmpty() ? std::string("Unnamed") : LocalPathString(original);
  Document()->HasFile = !original.isEmpty();
  Document()->Modified = true;
  saveTarget_ = original;
  SetTitleFromDocument();
  recoveredUnsaved_ = true;
  return true;
}
