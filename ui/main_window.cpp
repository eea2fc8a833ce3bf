// The main window's creation and destruction, the close query, and the commands that open other
// windows (help, About box, options, exports).
#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <algorithm>

#include "common/xdg_folders.h"
#include "midi/midi_output.h"
#include "model/bar_commands.h"
#include "model/undo_history.h"
#include "ui/about_box.h"
#include "ui/audio_export_dialog.h"
#include "ui/demo_form.h"
#include "ui/dialogs.h"
#include "ui/export_commands.h"
#include "ui/help_window.h"
#include "layout/cursor_moves.h"
#include "layout/key_map.h"
#include "ui/local_path.h"
#include "ui/main_window_playback.h"
#include "ui/main_window_widgets.h"
#include "ui/note_off_timer.h"
#include "ui/options_dialog.h"
#include "ui/options_messages.h"
#include "ui/recovery.h"
#include "ui/tab_view.h"
#include "ui/view_area.h"

namespace {

// The window's key preview: an application event filter, so the window sees every key before the
// control that has the focus.
class KeyPreviewFilter : public QObject {
 public:
  explicit KeyPreviewFilter(std::function<bool(QObject*, QEvent*)> preview)
      : preview_(std::move(preview)) {}
  bool eventFilter(QObject* watched, QEvent* event) override { return preview_(watched, event); }

 private:
  std::function<bool(QObject*, QEvent*)> preview_;
};

}  // namespace

TFmain::TFmain(DialogService& dialogs, QWidget* parent) : QMainWindow(parent), dialogs_(dialogs) {
  setObjectName("Fmain");
  session_.AddObserver(*this);
  setWindowTitle(kMainCaption);
  // The desktop's sans at 8 pt: the control positions are laid out for a font of that size.
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSize(8);
  setFont(font);
  UrlOpener = [](const QUrl& url) { QDesktopServices::openUrl(url); };

  auto* client = new QWidget(this);
  client->setObjectName("ClientArea");
  client->setMinimumSize(800, 512);
  setCentralWidget(client);
  BuildControls(client);
  BuildMenus();
  new GrowingViewArea(client, i1, ScrollBar1, Panel7);

  // The first size is the smallest; the tab view takes what the window grows by.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  setMinimumSize(800, 512 + menuBar()->sizeHint().height() + FeelBar->sizeHint().height());
  resize(minimumSize());
  RestoreWindowSize(this);
  RestoreZoom(i1);

  // Commands. Each is one action: the tool buttons show theirs (BuildMenus), the context menu's
  // items keep their own names and texts and run the same handlers.
  connect(New1, &QAction::triggered, this, &TFmain::NewDocument);
  connect(Open2, &QAction::triggered, this, &TFmain::OpenDocument);
  connect(File_3, &QAction::triggered, this, [this] { SaveDocument(); });
  connect(File_4, &QAction::triggered, this, [this] { SaveDocumentAs(); });
  connect(End1, &QAction::triggered, this, &TFmain::End1Click);
  for (QAction* a : {EUndo, EUndo1}) connect(a, &QAction::triggered, this, [this] { BUndoClick(); });
  for (QAction* a : {ERedo, ERedo1}) connect(a, &QAction::triggered, this, [this] { BRedoClick(); });
  // The context menu's Undo and Redo follow the Edit menu's.
  for (auto [item, command] : {std::pair{EUndo1, EUndo}, std::pair{ERedo1, ERedo}})
    connect(command, &QAction::changed, item,
            [item, command] { item->setEnabled(command->isEnabled()); });
  connect(TextFile1, &QAction::triggered, this, &TFmain::TextFile1Click);
  connect(HTMLFille1, &QAction::triggered, this, &TFmain::HTMLFille1Click);
  connect(MIDIFile1, &QAction::triggered, this, &TFmain::MIDIFile1Click);
  connect(AudioFile1, &QAction::triggered, this, &TFmain::AudioFile1Click);
  connect(MusicXMLFile1, &QAction::triggered, this, &TFmain::MusicXMLFile1Click);
  connect(Keymap1, &QAction::triggered, this, [this] { ShowOptionsPage(TFOpt::KeyMapPage); });
  connect(Midi1, &QAction::triggered, this, [this] { ShowOptionsPage(TFOpt::MidiPage); });
  connect(Selectkit1, &QAction::triggered, this, [this] { ShowOptionsPage(TFOpt::KitPage); });
  connect(Songinfo1, &QAction::triggered, this, [this] { ShowOptionsPage(TFOpt::SongInfoPage); });
  connect(Help1, &QAction::triggered, this, &TFmain::Help1Click);
  connect(MidiDemo1, &QAction::triggered, this, &TFmain::MidiDemo1Click);
  connect(Credits1, &QAction::triggered, this, &TFmain::Credits1Click);

  // Boxes.
  connect(SpeedButton12, &QToolButton::clicked, this, &TFmain::SpeedButton12Click);
  connect(Ecom, &QLineEdit::textChanged, this, &TFmain::EcomChange);
  connect(ScrollBar1, &QScrollBar::valueChanged, this, &TFmain::ScrollBar1Change);
  connect(ComboBox2, &QComboBox::activated, this, [this](int index) { ComboBox2Change(index); });
  connect(RPace, &QComboBox::activated, this, &TFmain::RpaceClick);
  connect(i1, &TabView::MouseDown, this, [this](Qt::MouseButton button, QPoint pos) {
    i1MouseDown(button, pos);
    i1Click();
  });
  connect(i1, &TabView::GridChanged, this, [this] {
    // Bars move to other columns and lines; the cursor keeps its place in its bar.
    if (!DocumentShown() || !Cursor()) return;
    const int offset = Cursor()->Column - Document()->Current().StartCol;
    RepaintKeepingCursor(*Document(), *Cursor(), *i1);
    const TBar& bar = Document()->Current();
    Cursor()->Column = static_cast<uint8_t>(bar.StartCol + std::clamp(offset, 0, bar.Length - 1));
    Cursor()->Line = bar.ViewLine;
    RefreshBarControls();
  });
  connect(i1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu1->popup(i1->mapToGlobal(pos)); });
  for (QWidget* w : std::initializer_list<QWidget*>{ETempo, ESped, Ecom, cbSong, Etakt2, Panel7, i1, SwingBox})
    w->installEventFilter(this);
  cbSong->lineEdit()->installEventFilter(this);  // its double click
  connect(cbSong, &QComboBox::activated, this, &TFmain::cbSongSelect);
  keyPreview_ = std::make_unique<KeyPreviewFilter>([this](QObject* watched, QEvent* event) {
    // The core sets Modified in many places: the marker follows right after a key or a command,
    // and at the next event whatever else changed it.
    const bool taken = PreviewKey(watched, event);
    ShowModifiedMarker();
    return taken;
  });
  qApp->installEventFilter(keyPreview_.get());

  // Note entry and cursor moves.
  for (QToolButton* button : InstrumentButtons) {
    const int tag = button->property("Tag").toInt();
    connect(button, &QToolButton::clicked, this, [this, tag] { SpeedButton3Click(tag); });
  }
  connect(SpeedButton29, &QToolButton::clicked, this, [this] { MoveCursor(&NextBar); });
  connect(SpeedButton30, &QToolButton::clicked, this, [this] { MoveCursor(&PreviousBar); });

  // Bar commands. The Edit menu's Cut and Paste run the commands of their keys.
  for (QAction* a : {Insert1, Addbar1}) connect(a, &QAction::triggered, this, &TFmain::InsertBarClick);
  for (QAction* a : {Remove1, Removebar1}) connect(a, &QAction::triggered, this, &TFmain::RemoveBarClick);
  for (QAction* a : {Clear1, Clearbar1}) connect(a, &QAction::triggered, this, &TFmain::ClearBarClick);
  for (QAction* a : {ECopy, Copybar1})
    connect(a, &QAction::triggered, this, [this] { CopyBarClick(false); });
  for (QAction* a : {ECut, Cutbar1}) connect(a, &QAction::triggered, this, &TFmain::CutBarClick);
  // The context menu's Paste bar is there before the first copy (an empty bar), Edit > Paste not.
  for (QAction* a : {EPaste, Pastebar1})
    connect(a, &QAction::triggered, this, &TFmain::PasteBarClick);
  connect(ETakt1, &QComboBox::activated, this, [this](int) { ChangeTiming(); });
  connect(Etakt2, &QComboBox::activated, this, [this](int) { ChangeTiming(); });
  connect(GridBox, &QComboBox::activated, this, [this](int) { ChangeGrid(); });
  connect(SwingBox, &QSpinBox::valueChanged, this, [this](int) { SwingChange(); });
  connect(SwingUnitBox, &QComboBox::activated, this, [this](int) { SwingChange(); });

  // Lock and Unlock act on these, in this order. The Edit menu itself stays enabled for "Paste
  // tab as new song"; its bar items are locked one by one (Undo, Redo and Paste follow their own
  // state, and their handlers need a song).
  lockItems_ = {{Panel3, nullptr},  {Panel5, nullptr},     {nullptr, File_3},
                {nullptr, File_4},  {nullptr, Bar1->menuAction()}, {nullptr, ECopy},
                {nullptr, ECut},       {i1, nullptr},
                {ScrollBar1, nullptr}, {nullptr, Playback->menuAction()}, {Panel7, nullptr},
                {nullptr, Export1->menuAction()}, {Panel2, nullptr}, {Panel6, nullptr},
                {Panel8, nullptr},  {nullptr, Songinfo1}, {nullptr, MidiDemo1}, {Panel9, nullptr}};
  ConnectPrintCommands();

  FormCreate();
  SetUpDesktopIntegration();
  for (QAction* action : findChildren<QAction*>())
    connect(action, &QAction::triggered, this, &TFmain::ShowModifiedMarker);
}

TFmain::~TFmain() {
  keyPreview_.reset();  // no key reaches a window that is going
  if (playback_ && playback_->Engine) playback_->Engine->Stop();  // before the device and the document
  // FormDestroy: the device first, then the options file. The owned objects (document, cursor,
  // clipboard, history) go with their members.
  if (MidiDeviceLayer* layer = CurrentMidiDeviceLayer()) layer->SetLoadFailureHandler({});
  CloseMidiDevice(MidiOut);
  SaveOptionsShowingErrors(settings_, dialogs_, nullptr);  // the window is going: the box stands alone
}

void TFmain::FormCreate() {
  // The options file (key map, kit, MIDI device), before the device is listed and opened.
  LoadOptionsShowingMessages(settings_, dialogs_, this);

  // A soundfont that fails to load in the background is reported when the load fails.
  if (MidiDeviceLayer* layer = CurrentMidiDeviceLayer())
    layer->SetLoadFailureHandler([this](const std::string& message) {
      QMetaObject::invokeMethod(
          this, [this, text = QString::fromStdString(message)] {
            dialogs_.Message(this, DialogService::Icon::Error, kApplicationTitle, text);
          },
          Qt::QueuedConnection);
    });
  // Devices into the hidden list, select the one in use, open it.
  const MidiStartup midi = StartMidiOutput(deviceNames_, settings_.MidiDeviceIndex);
  for (const std::string& name : deviceNames_) ComboBox2->addItem(QString::fromStdString(name));
  if (midi.ShownIndex) ComboBox2->setCurrentIndex(static_cast<int>(*midi.ShownIndex));
  if (!midi.Opened)
    dialogs_.Message(this, DialogService::Icon::Plain, kApplicationTitle, kMidiOpenErrorMessage);

  ETakt1->setCurrentIndex(3);  // "4"
  Etakt2->setCurrentIndex(0);  // "4"
  RPace->setCurrentIndex(2);   // "1/4"

  CreatePlayback();

  // No document yet: the controls that act on one stay disabled until New or Open.
  Lock();
  // Paste waits for the first copied bar; the context menu's item is there from the start.
  EPaste->setEnabled(false);
  IfUndo(false);
  IfRedo(false);
  NoControl();
}

bool TFmain::ComboBox2Change(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= deviceNames_.size()) return false;
  {
    const QSignalBlocker block(ComboBox2);
    ComboBox2->setCurrentIndex(index);
  }
  const bool opened = SelectMidiDevice(deviceNames_, static_cast<std::size_t>(index), settings_.MidiDeviceIndex);
  PlaybackDeviceChanged();
  if (!opened) {
    dialogs_.Message(this, DialogService::Icon::Plain, kApplicationTitle, kMidiOpenErrorMessage);
    return false;
  }
  NoControl();
  return true;
}

bool TFmain::FormCloseQuery() {
  FinishTyping();  // a part name still being typed is an unsaved change too
  if (Document() && Document()->Modified) return dialogs_.Question(this, "Warning", kQuitUnsavedQuestion);
  return dialogs_.Question(this, "Warning", kQuitQuestion);
}

void TFmain::closeEvent(QCloseEvent* event) {
  StopPlaying();
  if (FormCloseQuery()) {
    SaveWindowSize(this);
    event->accept();
  } else
    event->ignore();
}

void TFmain::End1Click() { close(); }

void TFmain::Help1Click() {
  // Beside the program (the build folder), else where an install puts it.
  const std::string help =
      FindProgramFile(LocalPathString(QCoreApplication::applicationDirPath()), "help.html");
  if (help.empty()) {
    dialogs_.Message(this, DialogService::Icon::Error, "Error", "The help file help.html cannot be found.");
    return;
  }
  if (!help_) help_ = new HelpWindow([this](const QUrl& url) { UrlOpener(url); }, this);
  help_->ShowFile(QFile::decodeName(help.c_str()));
}

void TFmain::ShowModifiedMarker() {
  const bool modified = Document() && !locked_ && Document()->Modified;
  const QString title = windowTitle();
  if (modified == title.startsWith(u'*')) return;
  setWindowTitle(modified ? u'*' + title : title.mid(1));
}

void TFmain::Credits1Click() {
  if (about_) about_->open();
}

void TFmain::ShowOptionsPage(int page) {
  if (options_) options_->ShowPage(page);
}

ExportBoxes TFmain::BoxesForExport() const {
  // The exports print the timing and tempo as the boxes show them.
  return ExportBoxes{ETakt1->currentText().toStdString(), Etakt2->currentText().toStdString(),
                     ETempo->RawText().toStdString()};
}

void TFmain::TextFile1Click() {
  if (DocumentShown()) ::TextFile1Click(this, dialogs_, *Document(), BoxesForExport());
}

void TFmain::HTMLFille1Click() {
  if (DocumentShown()) ::HTMLFille1Click(this, dialogs_, *Document(), BoxesForExport());
}

void TFmain::MusicXMLFile1Click() {
  if (DocumentShown()) ::MusicXMLFile1Click(this, dialogs_, *Document());
}

void TFmain::MIDIFile1Click() {
  if (DocumentShown())
    ::MIDIFile1Click(this, dialogs_, *Document(), static_cast<uint16_t>(ETempo->value()));
}

void TFmain::MidiDemo1Click() {
  if (DocumentShown() && demo_) demo_->ExportTab(*Document(), static_cast<uint16_t>(ETempo->value()));
}

void TFmain::NoControl() {
  // The window itself takes the keyboard focus, so no box or list keeps it.
  setFocus(Qt::OtherFocusReason);
}

void TFmain::i1Click() { NoControl(); }
