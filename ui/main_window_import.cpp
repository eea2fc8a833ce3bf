// Imports in the main window: a text tab or a MIDI file from disk, or a text tab from the
// clipboard, becomes a new song. Each asks about unsaved changes first, as New and Open do; the
// song it makes has no file yet and counts as changed.
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QSpinBox>

#include "common/atomic_file.h"
#include "files/import_file.h"
#include "files/text_tab_import.h"
#include "midi/midi_to_tab.h"
#include "midi/step_delay.h"
#include "ui/cp1252.h"
#include "ui/dialogs.h"
#include "ui/local_path.h"
#include "ui/main_window.h"
#include "ui/main_window_widgets.h"
#include "ui/tab_view.h"

namespace {

constexpr const char* kImportTitle = "Import";

QAction* NewItem(QMenu* menu, const char* name, const QString& text) {
  QAction* action = new QAction(text, menu);
  action->setObjectName(name);
  return action;
}


FileDialogSpec ImportSpec(const QString& title, const QString& filter) {
  FileDialogSpec request;
  request.Title = title;
  request.Filter = filter;
  request.InitialFolder = ".";
  request.MustExist = true;
  request.ConfirmOverwrite = false;
  return request;
}

}  // namespace

void TFmain::BuildImportItems() {
  Import1 = new QMenu("&Import", this);
  Import1->setObjectName("Import1");
  Import1->menuAction()->setObjectName("Import1Menu");
  ImportText1 = NewItem(Import1, "ImportText1", "&Text tab...");
  ImportMidi1 = NewItem(Import1, "ImportMidi1", "&MIDI file...");
  Import1->addAction(ImportText1);
  Import1->addAction(ImportMidi1);
  File1->insertMenu(Export1->menuAction(), Import1);
  PasteTab1 = NewItem(Edit, "PasteTab1", "Paste &tab as new song");
  Edit->addAction(PasteTab1);
  // Like New and Open these work with or without a song, so Lock leaves them enabled.
  connect(ImportText1, &QAction::triggered, this, &TFmain::ImportTextClick);
  connect(ImportMidi1, &QAction::triggered, this, &TFmain::ImportMidiClick);
  connect(PasteTab1, &QAction::triggered, this, &TFmain::PasteTabClick);
}

// The file chosen, once the song it replaces may go; nothing when either is cancelled.
std::optional<QString> TFmain::ChooseImport(const QString& title, const QString& filter) {
  std::optional<QString> path = dialogs_.OpenFile(this, ImportSpec(title, filter));
  if (!path) return {};
  FinishTyping();
  if (!AskUnsavedBeforeReplacing()) return {};
  return path;
}

void TFmain::ImportTextClick() {
  const std::optional<QString> path =
      ChooseImport("Import a text drum tab", "Text Tabs (*.txt *.tab);;All Files (*)");
  if (!path) return;
  std::string bytes, error;
  ImportResult result;
  if (ReadWholeFile(LocalPathString(*path), bytes, error))
    result = ImportTextTab(bytes, kMaxBarCount, settings_);
  else
    result.Error = "Cannot open \"" + LocalPathString(*path) + "\": " + error + ".";
  ShowImport(std::move(result));
}

void TFmain::ImportMidiClick() {
  const std::optional<QString> path =
      ChooseImport("Import a MIDI file", "MIDI Files (*.mid *.midi);;All Files (*)");
  if (path) ShowImport(ReadMidiOfferingChannel(*path));
}

ImportResult TFmain::ReadMidiOfferingChannel(const QString& path) {
  ImportResult result;
  std::string bytes, error;
  if (!ReadWholeFile(LocalPathString(path), bytes, error)) {
    result.Error = "Cannot open \"" + LocalPathString(path) + "\": " + error + ".";
    return result;
  }
  std::vector<int> channels;
  result = ImportMidiFile(bytes, kDefaultDrumChannel, &channels);
  // A drum track on another channel than the General MIDI one: offer it.
  if (!result.Document && !channels.empty()) {
    const int other = channels.front();
    if (dialogs_.Question(this, kImportTitle,
                          QString("There are no drum notes on MIDI channel %1 in this file. Import "
                                  "the notes of channel %2 as drums?")
                              .arg(kDefaultDrumChannel)
                              .arg(other)))
      result = ImportMidiFile(bytes, other);
  }
  if (result.Document) settings_.StartSong(*result.Document);  // a MIDI file names no author
  return result;
}

void TFmain::PasteTabClick() {
  FinishTyping();
  if (!AskUnsavedBeforeReplacing()) return;
  // As UTF-8, so that the import sees every Unicode space of text copied from a web page.
  ShowImport(ImportTextTab(QGuiApplication::clipboard()->text().toUtf8().toStdString(), kMaxBarCount,
                           settings_));
}

bool TFmain::ImportDocumentFile(const QString& path) {
  FinishTyping();
  if (!AskUnsavedBeforeReplacing()) return false;
  // Opened by name (File > Open, the command line, Recent Files): a MIDI file offers another
  // drum channel as File > Import does.
  if (ImportKindOf(LocalPathString(path)) == ImportKind::Midi)
    return ShowImport(ReadMidiOfferingChannel(path));
  return ShowImport(ImportFile(LocalPathString(path), kDefaultDrumChannel, settings_));
}

// Nothing usable keeps the open song as it was; otherwise the new song replaces it, is drawn, and
// then the warnings come in one box.
bool TFmain::ShowImport(ImportResult result) {
  if (!result.Document) {
    dialogs_.Message(this, DialogService::Icon::Error, kImportTitle, FromCp1252(result.Error));
    return false;
  }
  StopPlaying();  // the bars it reads are about to go
  saveTarget_.clear();  // Save asks for a name
  session_.Replace(std::move(result.Document), SongSource::Imported, PaceOfBox());
  if (!result.Warnings.empty()) {
    QString text;
    for (const std::string& warning : result.Warnings)
      text += (text.isEmpty() ? "" : "\n") + FromCp1252(warning);
    dialogs_.Message(this, DialogService::Icon::Warning, kImportTitle, text);
  }
  return true;
}
