// The document's lifecycle in the main window (New, Open, Save, Save As, the title, Lock and
// Unlock) and the window's half of undo and redo.
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
  setWindowTitle(QString(kMainCaption) + " - [ " + QFile::decodeName(doc_->FileName.c_str()) + " ]");
  ShowModifiedMarker();
}

bool TFmain::AskUnsavedBeforeReplacing() {
  if (!doc_ || !doc_->Modified) return true;
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
  // The kit page of the options dialog takes the global kit flags here once it exists.
}

void TFmain::NewDocument() {
  StopPlaying();
  // A name being typed belongs to the document it was typed in, not to the next one; committed
  // now, it also counts as an unsaved change for the question below.
  FinishTyping();
  if (!doc_) {
    doc_ = std::make_unique<Osnova>(4, 12, 4);
    clipboard_ = std::make_unique<TClipBord>();
  } else {
    if (!AskUnsavedBeforeReplacing()) return;
    DocumentReplaced();
    int denominator = Etakt2->currentText().toInt();
    int numerator = ETakt1->currentIndex() + 1;
    // A bar read from a file may be a length the boxes' list cannot show (2 positions in quarters:
    // the numerator box is empty; 64 in sixteenths: shown past the list), and bars of no positions
    // would make a song that no file can hold. Such a song starts in 4/4 like the first one.
    if (numerator < 1 || numerator > 16 || DenominatorIndex(denominator) == 255) {
      numerator = 4;
      denominator = 4;
    }
    doc_ = std::make_unique<Osnova>(static_cast<uint8_t>(numerator), 12,
                                    static_cast<uint8_t>(denominator));
    history_->Reset();
    IfUndo(false);
    IfRedo(false);
  }
  Unlock();
  if (!cursor_) cursor_ = TCursor{0, 0, PaceOfBox()};
  cursor_->Column = 0;
  cursor_->Line = 0;
  ShowDocument(0);  // the playback tempo box keeps its value
}

void TFmain::ShowDocument(uint16_t firstVisible) {
  SetTitleFromDocument();
  EAbar->setValue(doc_->CurrentBar);
  SetScrollBar(doc_->BarCount, doc_->CurrentBar + 1);
  ShowTimingOf(doc_->Current());
  ETempo->ShowValue(doc_->Tempo);
  SetCommentBox(doc_->Current().Comment);
  cbSong->clear();
  FillSongPartItems();
  SongPart(doc_->CurrentBar);
  i1->RepaintView(*doc_, firstVisible);
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
  DocumentReplaced();
  Unlock();
  if (!cursor_) cursor_ = TCursor{0, 0, PaceOfBox()};
  if (!clipboard_) clipboard_ = std::make_unique<TClipBord>();
  cbSong->clear();
  cursor_->Column = 0;
  cursor_->Line = 0;
  EAbar->setValue(0);

  // The reader builds the new document aside; the open one is replaced only by the outcome.
  std::string error, warning;
  std::unique_ptr<Osnova> loaded = LoadFromTabFile(LocalPath(path), error, &warning);
  if (!loaded) {
    dialogs_.Message(this, DialogService::Icon::Error, "Error", QString::fromLocal8Bit(error.c_str()));
    doc_ = EmptyDocument();
    cbSong->clear();
    cursor_.reset();  // the next New or Open creates it with the pace of the box
    Lock();
    history_->Reset();
    IfUndo(false);
    IfRedo(false);
    return false;  // the title stays, the disabled view keeps its old picture
  }

  GlobalKit = loaded->Kit;  // playback is stopped; the kit page shows what the opened song shows
  doc_ = std::move(loaded);
  saveTarget_ = path;
  // The kit page of the options dialog takes the (new) global kit flags here once it exists.
  history_->Reset();
  IfUndo(false);
  IfRedo(false);
  ESped->ShowValue(doc_->Tempo);
  SetPlaybackTempo();
  ShowDocument(0);
  // A damaged extension block costs only the extras: the song is open, the user is told.
  if (!warning.empty())
    dialogs_.Message(this, DialogService::Icon::Warning, "Warning", QString::fromLocal8Bit(warning.c_str()));
  DocumentOpened(path);
  return true;
}

bool TFmain::WriteDocument(const QString& path) {
  // On failure nothing changes: the old file, the document's flags, its name, the title, the target.
  if (!WriteFileOrReport(this, dialogs_, path, [this](const std::string& local, std::string& error) {
        return SaveToTabFile(*doc_, local, error);
      }))
    return false;
  history_->MarkSaved();
  saveTarget_ = path;
  SetTitleFromDocument();
  DocumentSaved(path);
  return true;
}

bool TFmain::SaveDocument() {
  if (!DocumentShown()) return false;
  QString target = saveTarget_;
  if (!doc_->HasFile) {
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
  for (const TSongPart& part : doc_->SongParts) cbSong->addItem(FromCp1252(part.Name));
}

// ---------------------------------------------------------------------------------------------
// Undo and redo.

UndoView TFmain::CurrentUndoView() const {
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

void TFmain::Push(const char* what) {
  if (!doc_) return;
  history_->Push(*doc_, CurrentUndoView(), what);
  DocumentEdited();
  IfUndo(true);
  IfRedo(false);
}

namespace {

// "U&ndo" becomes "U&ndo note entry": the item says which edit it takes back.
QString Named(const char* item, const std::string& what) {
  return what.empty() ? QString(item) : QString(item) + u' ' + QString::fromLatin1(what.c_str());
}

}  // namespace

void TFmain::IfUndo(bool enabled) {
  const std::string what = enabled ? history_->UndoName() : std::string();
  EUndo->setEnabled(enabled);  // BUndo and EUndo1 follow
  EUndo->setText(Named("U&ndo", what));
  EUndo->setToolTip(Named("Undo", what));
  EUndo1->setText(Named("U&ndo", what));
}

void TFmain::IfRedo(bool enabled) {
  const std::string what = enabled ? history_->RedoName() : std::string();
  ERedo->setEnabled(enabled);  // BRedo and ERedo1 follow
  ERedo->setText(Named("&Redo", what));
  ERedo->setToolTip(Named("Redo", what));
  ERedo1->setText(Named("R&edo", what));
}

bool TFmain::BUndoClick() { return Restore(true); }
bool TFmain::BRedoClick() { return Restore(false); }

bool TFmain::Restore(bool undo) {
  if (!DocumentShown() || !cursor_) return false;
  // A name still being typed belongs to the document it was typed in: commit it before that
  // document is replaced, so the undo steps back over it instead of it landing on the restored one.
  FinishTyping();
  if (undo ? !history_->CanUndo() : !history_->CanRedo()) return false;

  std::optional<UR_Stack::Restored> restored;
  {
    // Restoring sets the program's kit, which playback reads with the bars.
    const std::lock_guard<std::mutex> edit(DocumentLock());
    restored = history_->Restore(undo, *doc_, CurrentUndoView());
  }
  if (!restored) {
    // The history refused the snapshot before moving: the live document and the steps stay.
    dialogs_.Message(this, DialogService::Icon::Error, "Error", kUndoErrorMessage);
    return false;
  }

  {
    const std::lock_guard<std::mutex> edit(DocumentLock());  // playback may be reading the bars
    doc_ = std::move(restored->Doc);  // its current bar and visible range are the snapshot's
  }
  cursor_->Column = restored->View.Column;
  cursor_->Line = restored->View.Line;
  IfUndo(history_->CanUndo());
  IfRedo(history_->CanRedo());
  ESped->ShowValue(doc_->Tempo);
  SetPlaybackTempo();
  ShowDocument(doc_->FirstVisibleBar);
  return true;
}
