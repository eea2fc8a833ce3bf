// The document's lifecycle in the main window (New, Open, Save, Save As, the title, Lock and
// Unlock), what the window does when the session replaces the song, and its half of undo and redo.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>

#include "files/import_file.h"
#include "files/tab_file.h"
#include "midi/step_delay.h"
#include "model/bar_commands.h"
#include "model/undo_history.h"
#include "ui/cp1252.h"
#include "ui/dialogs.h"
#include "layout/key_map.h"
#include "ui/local_path.h"
#include "ui/main_window.h"
#include "ui/main_window_playback.h"
#include "ui/main_window_widgets.h"
#include "ui/tab_view.h"

namespace {

// Names that are not valid UTF-8 keep their bytes (see ui/local_path.h).
std::string LocalPath(const QString& path) { return LocalPathString(path); }

// What stands in for the document after a file was refused: one blank bar, nothing to save.
std::unique_ptr<Osnova> EmptyDocument() { return std::make_unique<Osnova>(4, 1, 4); }

}  // namespace

FileDialogSpec TFmain::Open1Spec() const {
  FileDialogSpec request;
  request.Title = "Open a drum tab file...";
  request.Filter = kTabFileFilter;
  request.MustExist = true;
  request.ConfirmOverwrite = false;
  return request;
}

FileDialogSpec TFmain::Save1Spec() const {
  FileDialogSpec request = SaveDialogRequest("Save your drum tab to file", kTabFileFilter, "gvlm");
  request.InitialFile = saveTarget_;
  return request;
}

uint8_t TFmain::PaceOfBox() const { return PaceOfIndex(RPace->currentIndex()); }

void TFmain::SetTitleFromDocument() {
  setWindowTitle(QString(kMainCaption) + " - [ " + QFile::decodeName(Document()->FileName.c_str()) + " ]");
  ShowModifiedMarker();
}

bool TFmain::AskUnsavedBeforeReplacing() {
  if (!Document() || !Document()->Modified) return true;
  if (recoveredUnsaved_) return AskBeforeReplacingRecovered();
  return dialogs_.Question(this, "Warning", kOpenUnsavedQuestion);
}

void TFmain::Lock() {
  for (const LockItem& item : lockItems_) {
    if (item.Widget) item.Widget->setEnabled(false);
    if (item.Action) item.Action->setEnabled(false);
  }
  locked_ = true;
}

void TFmain::Unlock() {
  for (const LockItem& item : lockItems_) {
    if (item.Widget) item.Widget->setEnabled(true);
    if (item.Action) item.Action->setEnabled(true);
  }
  locked_ = false;
  // The kit page of the options dialog takes the kit in use here once it exists.
}

void TFmain::NewDocument() {
  StopPlaying();
  // A name being typed belongs to the document it was typed in, not to the next one; committed
  // now, it also counts as an unsaved change for the question below.
  FinishTyping();
  if (!AskUnsavedBeforeReplacing()) return;
  int numerator = 4;
  int denominator = 4;
  if (Document()) {
    denominator = Etakt2->currentText().toInt();
    numerator = ETakt1->currentIndex() + 1;
    // A bar read from a file may be a length the boxes' list cannot show (2 positions in quarters:
    // the numerator box is empty; 64 in sixteenths: shown past the list), and bars of no positions
    // would make a song that no file can hold. Such a song starts in 4/4 like the first one.
    if (numerator < 1 || numerator > 16 || DenominatorIndex(denominator) == 255) {
      numerator = 4;
      denominator = 4;
    }
  }
  auto doc = std::make_unique<Osnova>(static_cast<uint8_t>(numerator), 12, static_cast<uint8_t>(denominator));
  settings_.StartSong(*doc);
  session_.Replace(std::move(doc), SongSource::New, PaceOfBox());  // the playback tempo box keeps its value
}

// The one way a new song reaches the window, whichever way it came.
void TFmain::SongReplaced(SongSource source) {
  const bool restored = source == SongSource::Undone || source == SongSource::Redone;
  if (!restored) DocumentReplaced();
  IfUndo(History().CanUndo());
  IfRedo(History().CanRedo());
  if (!clipboard_) clipboard_ = std::make_unique<TClipBord>();
  if (source == SongSource::Refused) {
    EAbar->setValue(0);
    cbSong->clear();
    Lock();
    return;  // the title stays, the disabled view keeps its old picture
  }
  if (!restored) Unlock();  // Undo and Redo work only on a song shown unlocked
  if (source != SongSource::New) {
    ESped->ShowValue(Document()->Tempo);
    SetPlaybackTempo();
  }
  ShowDocument(restored ? Document()->FirstVisibleBar : 0);
}

void TFmain::SongEdited() {
  DocumentEdited();
  IfUndo(true);
  IfRedo(false);
}

void TFmain::ShowDocument(uint16_t firstVisible) {
  SetTitleFromDocument();
  EAbar->setValue(Document()->CurrentBar);
  SetScrollBar(Document()->BarCount, Document()->CurrentBar + 1);
  ShowTimingOf(Document()->Current());
  ETempo->ShowValue(Document()->Tempo);
  ShowSwingOf(*Document());
  SetCommentBox(Document()->Current().Comment);
  cbSong->clear();
  FillSongPartItems();
  SongPart(Document()->CurrentBar);
  i1->RepaintView(*Document(), firstVisible);
  ToggleCursorBox();
  NoControl();
}

void TFmain::OpenDocument() {
  StopPlaying();
  const std::optional<QString> path = dialogs_.OpenFile(this, Open1Spec());
  if (!path) return;
  OpenDocumentFile(*path);
}

bool TFmain::OpenDocumentFile(const QString& given) {
  // A relative name (from the command line) is made absolute as the file dialog's are, so the
  // title names the file and Save writes it wherever the current folder goes later.
  // Done on the string: QFileInfo would re-encode a name that is not valid UTF-8 and lose its bytes.
  const QString path =
      QDir::cleanPath(QDir::isAbsolutePath(given) ? given : QDir::currentPath() + u'/' + given);
  StopPlaying();
  if (ImportKindOf(LocalPath(path)) != ImportKind::None) return ImportDocumentFile(path);
  FinishTyping();  // as for New: never onto the opened file's parts
  // Asked before anything changes, so No leaves even a locked window as it was.
  if (!AskUnsavedBeforeReplacing()) return false;

  // The reader builds the new document aside; the open one is replaced only by the outcome.
  std::string error, warning;
  std::unique_ptr<Osnova> loaded = LoadFromTabFile(LocalPath(path), error, &warning);
  if (!loaded) {
    dialogs_.Message(this, DialogService::Icon::Error, "Error", QString::fromLocal8Bit(error.c_str()));
    session_.Replace(EmptyDocument(), SongSource::Refused);
    return false;
  }
  saveTarget_ = path;
  session_.Replace(std::move(loaded), SongSource::Opened, PaceOfBox());
  // A damaged extension block costs only the extras: the song is open, the user is told.
  if (!warning.empty())
    dialogs_.Message(this, DialogService::Icon::Warning, "Warning", QString::fromLocal8Bit(warning.c_str()));
  DocumentOpened(path);
  return true;
}

bool TFmain::WriteDocument(const QString& path) {
  // On failure nothing changes: the old file, the document's flags, its name, the title, the target.
  if (!WriteFileOrReport(this, dialogs_, path, [this](const std::string& local, std::string& error) {
        return SaveToTabFile(*Document(), local, error);
      }))
    return false;
  History().MarkSaved();
  saveTarget_ = path;
  SetTitleFromDocument();
  DocumentSaved(path);
  return true;
}

bool TFmain::SaveDocument() {
  if (!DocumentShown()) return false;
  QString target = saveTarget_;
  if (!Document()->HasFile) {
    const std::optional<QString> chosen = dialogs_.SaveFile(this, Save1Spec());
    if (!chosen) return false;
    target = *chosen;
  }
  return WriteDocument(target);
}

bool TFmain::SaveDocumentAs() {
  if (!DocumentShown()) return false;
  const std::optional<QString> chosen = dialogs_.SaveFile(this, Save1Spec());
  if (!chosen) return false;
  return WriteDocument(*chosen);
}

void TFmain::FillSongPartItems() {
  for (const TSongPart& part : Document()->SongParts) cbSong->addItem(FromCp1252(part.Name));
}

// ---------------------------------------------------------------------------------------------
// Undo and redo.

void TFmain::Push(const char* what) { session_.Push(what); }

namespace {

// "U&ndo" becomes "U&ndo note entry": the items say which edit they take back or do again. The
// tool button shows `item`; the context menu's `popupItem` follows its text.
void ShowStep(QAction* item, QAction* popupItem, bool enabled, const std::string& what,
              const char* text, const char* tip, const char* popupText) {
  const auto named = [&](const char* base) {
    return what.empty() ? QString(base) : QString(base) + u' ' + QString::fromLatin1(what.c_str());
  };
  item->setEnabled(enabled);
  item->setText(named(text));
  item->setToolTip(named(tip));
  popupItem->setText(named(popupText));
}

}  // namespace

void TFmain::IfUndo(bool enabled) {
  ShowStep(EUndo, EUndo1, enabled, enabled ? History().UndoName() : std::string(), "U&ndo", "Undo", "U&ndo");
}

void TFmain::IfRedo(bool enabled) {
  ShowStep(ERedo, ERedo1, enabled, enabled ? History().RedoName() : std::string(), "&Redo", "Redo", "R&edo");
}

bool TFmain::BUndoClick() { return Restore(true); }
bool TFmain::BRedoClick() { return Restore(false); }

bool TFmain::Restore(bool undo) {
  if (!DocumentShown() || !Cursor()) return false;
  // A name still being typed belongs to the document it was typed in: commit it before that
  // document is replaced, so the undo steps back over it instead of it landing on the restored one.
  FinishTyping();
  const EditSession::Step step = session_.Restore(undo);
  // Refused: the history kept the live document and the steps.
  if (step == EditSession::Step::Refused)
    dialogs_.Message(this, DialogService::Icon::Error, "Error", kUndoErrorMessage);
  return step == EditSession::Step::Done;
}
