#include "ui/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QValidator>
#include <chrono>
#include <random>

#include "files/options_file.h"
#include "midi/midi_output.h"
#include "model/tab_document.h"
#include "ui/cp1252.h"
#include "ui/dialogs.h"
#include "ui/hot_key_box.h"
#include "layout/key_map.h"
#include "ui/main_window.h"
#include "ui/main_window_widgets.h"
#include "ui/note_off_timer.h"
#include "ui/options_messages.h"
#include "ui/tab_view.h"

namespace {

// Every change of the device goes through the window, so that a running playback sends its next
// column to the device opened here, never through the handle of the one closed.
bool ReopenDevice(TFmain* main, const std::function<bool()>& reopen) {
  return main ? main->ReopenMidiDevice(reopen) : reopen();
}

// The song information is stored as Windows-1252 bytes: characters without one are not typed at
// all rather than turned into '?' on saving.
class SongInfoCp1252Validator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    return FitsCp1252(input) ? Acceptable : Invalid;
  }
};

// Times New Roman 15 px bold; Liberation Serif has its metrics. Without it, the desktop's serif.
QFont LabelFont() {
  QFont font;
  if (QFontDatabase::hasFamily("Liberation Serif"))
    font.setFamily("Liberation Serif");
  else
    font.setFamilies({"serif"});
  font.setStyleHint(QFont::Serif);
  font.setPixelSize(15);
  font.setBold(true);
  return font;
}

constexpr int kButtonRow = 392;  // y of every page's OK./Default/Cancel row

// The play buttons of the key page, in table order (Tag 0..11).
constexpr std::array<const char*, 12> kPlayButtonNames = {
    "SpeedButton12", "SpeedButton1", "SpeedButton6", "SpeedButton2", "SpeedButton3", "SpeedButton4",
    "SpeedButton5",  "SpeedButton7", "SpeedButton8", "SpeedButton9", "SpeedButton10", "SpeedButton11"};

}  // namespace

TFOpt::TFOpt(QWidget* parent)
    : QDialog(parent), main_(qobject_cast<TFmain*>(parent)), settings_(main_ ? &main_->Settings() : &ownSettings_) {
  setObjectName("FOpt");
  setWindowTitle("Options");
  setFixedSize(273, 430);

  Page1 = new QStackedWidget(this);
  Page1->setObjectName("Page1");
  Page1->setGeometry(0, 0, 273, 430);
  auto page = [this](const char* name) {
    auto* w = new QWidget(Page1);
    w->setObjectName(name);
    Page1->addWidget(w);
    return w;
  };
  KeyTab = page("KeyTab");
  MidiTab = page("MidiTab");
  TabSheet1 = page("TabSheet1");
  TSong = page("TSong");
  ExpressionTab = page("ExpressionTab");
  BuildKeyPage();
  BuildMidiPage();
  BuildKitPage();
  BuildSongPage();
  BuildExpressionPage();
}

TFOpt::~TFOpt() = default;

QLabel* TFOpt::MakeLabel(QWidget* page, const QString& text, int x, int y, int w, int h,
                         bool heading) {
  auto* label = new QLabel(text, page);
  label->setFont(LabelFont());
  label->setGeometry(x, y, w, h);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, heading ? QColor(0, 0, 128) : QColor(Qt::black));
  label->setPalette(palette);
  return label;
}

QPushButton* TFOpt::MakeButton(QWidget* page, const char* name, const QString& text, int x, int y) {
  auto* button = new QPushButton(text, page);
  button->setObjectName(name);
  button->setGeometry(x, y, 80, 25);
  button->setAutoDefault(false);  // Enter in a box is not a click on some button
  return button;
}

void TFOpt::BuildKeyPage() {
  MakeLabel(KeyTab, "Instrument", 8, 6, 112, 20, true);
  MakeLabel(KeyTab, "Current key", 124, 6, 96, 20, true);
  MakeLabel(KeyTab, "Play", 224, 6, 44, 20, true);
  for (int t = 0; t < kKeyMapSize; ++t) {
    const int y = 30 + 24 * t;
    MakeLabel(KeyTab, kKeyMapLabels[static_cast<std::size_t>(t)], 8, y, 114, 21, false);
    auto* box = new HotKeyBox(KeyTab);
    box->setObjectName(QString("HotKey%1").arg(t + 1));
    box->setProperty("Tag", t);
    box->setGeometry(124, y, 92, 21);
    connect(box, &HotKeyBox::Left, this, [this, box] { HotKeyExit(box); });
    HotKeys[static_cast<std::size_t>(t)] = box;
    if (t < 12) {
      auto* play = new QToolButton(KeyTab);
      play->setObjectName(kPlayButtonNames[static_cast<std::size_t>(t)]);
      play->setProperty("Tag", t);
      play->setToolTip("Play sound");
      play->setAutoRaise(true);  // flat, as the window's other sound buttons
      play->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
      play->setFocusPolicy(Qt::NoFocus);  // a click does not leave the key box being edited
      play->setGeometry(232, y, 24, 21);
      connect(play, &QToolButton::clicked, this, [this, t] { PlaySoundClick(t); });
      PlayButtons[static_cast<std::size_t>(t)] = play;
    }
  }
  Button6 = MakeButton(KeyTab, "Button6", "OK.", 8, kButtonRow);
  Button7 = MakeButton(KeyTab, "Button7", "Default", 96, kButtonRow);
  Button5 = MakeButton(KeyTab, "Button5", "Cancel", 184, kButtonRow);
  connect(Button6, &QPushButton::clicked, this, &TFOpt::Button6Click);
  connect(Button7, &QPushButton::clicked, this, &TFOpt::Button7Click);
  connect(Button5, &QPushButton::clicked, this, &TFOpt::Button5Click);
}

void TFOpt::BuildMidiPage() {
  MakeLabel(MidiTab, "Current Midi device", 8, 8, 257, 20, true);
  EAct = new QLineEdit(kChooseADevice, MidiTab);
  EAct->setObjectName("EAct");
  EAct->setReadOnly(true);
  EAct->setGeometry(8, 32, 257, 21);
  MakeLabel(MidiTab, "Choose a Midi device", 8, 66, 257, 20, true);
  LDev = new QListWidget(MidiTab);
  LDev->setObjectName("LDev");
  LDev->setGeometry(8, 90, 257, 248);
  Button4 = MakeButton(MidiTab, "Button4", "Set", 8, 348);
  Button1 = MakeButton(MidiTab, "Button1", "Test", 96, 348);
  Button3 = MakeButton(MidiTab, "Button3", "OK.", 8, kButtonRow);
  Button2 = MakeButton(MidiTab, "Button2", "Cancel", 96, kButtonRow);
  connect(Button4, &QPushButton::clicked, this, &TFOpt::Button4Click);
  connect(Button1, &QPushButton::clicked, this, &TFOpt::Button1Click);
  connect(Button3, &QPushButton::clicked, this, &TFOpt::Button3Click);
  connect(Button2, &QPushButton::clicked, this, &TFOpt::Button2Click);
}

void TFOpt::BuildKitPage() {
  MakeLabel(TabSheet1, "Select your drum kit", 8, 8, 257, 20, true);
  struct Row {
    QCheckBox** Box;
    const char* Name;
    const char* Caption;
  };
  const Row rows[] = {{&xc, "xc", "Cymbals"},       {&xr, "xr", "Ride"},
                      {&xhh, "xhh", "Hi-Hat"},      {&xt1, "xt1", "Tom #1"},
                      {&xt2, "xt2", "Tom #2"},      {&xf, "xf", "Floor tom"},
                      {&xs, "xs", "Snare drum"},    {&xb, "xb", "Bass drum"},
                      {&xct, "xct", "Count"}};
  int y = 40;
  for (const Row& row : rows) {
    auto* box = new QCheckBox(row.Caption, TabSheet1);
    box->setObjectName(row.Name);
    box->setFont(LabelFont());
    box->setLayoutDirection(Qt::RightToLeft);  // the caption on the left, the box on the right
    box->setGeometry(40, y, 160, 24);
    *row.Box = box;
    y += 32;
  }
  xct->setVisible(false);
  Button9 = MakeButton(TabSheet1, "Button9", "OK.", 8, kButtonRow);
  Button10 = MakeButton(TabSheet1, "Button10", "Default", 96, kButtonRow);
  Button8 = MakeButton(TabSheet1, "Button8", "Cancel", 184, kButtonRow);
  connect(Button9, &QPushButton::clicked, this, &TFOpt::Button9Click);
  connect(Button10, &QPushButton::clicked, this, &TFOpt::Button10Click);
  connect(Button8, &QPushButton::clicked, this, &TFOpt::Button5Click);
}

void TFOpt::BuildSongPage() {
  MakeLabel(TSong, "Song info", 8, 6, 257, 20, true);
  auto* validator = new SongInfoCp1252Validator(this);
  auto field = [this, validator](const char* name, const char* caption, int y, bool readOnly) {
    MakeLabel(TSong, caption, 8, y, 100, 21, false);
    auto* edit = new QLineEdit(TSong);
    edit->setObjectName(name);
    edit->setGeometry(110, y, 155, 21);
    edit->setReadOnly(readOnly);
    edit->setValidator(validator);
    return edit;
  };
  auto separator = [this](int y) {
    auto* line = new QFrame(TSong);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(8, y, 257, 4);
  };
  EArtist = field("EArtist", "Artist :", 34, false);
  ESong = field("ESong", "Song :", 60, false);
  Ealbum = field("Ealbum", "Album :", 86, false);
  EDrum = field("EDrum", "Drummer :", 112, false);
  separator(140);
  ETakt = field("ETakt", "Timing :", 150, false);
  ETemp = field("ETemp", "Tempo :", 176, true);
  Ebars = field("Ebars", "Bars :", 202, true);
  separator(230);
  EAutor = field("EAutor", "Tab author :", 240, false);
  EEmail = field("EEmail", "E-mail :", 266, false);
  Button11 = MakeButton(TSong, "Button11", "OK.", 8, kButtonRow);
  Button12 = MakeButton(TSong, "Button12", "Cancel", 96, kButtonRow);
  connect(Button11, &QPushButton::clicked, this, &TFOpt::Button11Click);
  connect(Button12, &QPushButton::clicked, this, [this] { QDialog::done(Rejected); });
}

// --- Opening and activation.

void TFOpt::ShowPage(int page) {
  page_ = page;
  // What Cancel puts back: the key page and the kit page act on the live settings.
  keyMapAtEntry_ = settings_->KeyMap;
  kitAtEntry_ = settings_->GlobalKit;
  Page1->setCurrentIndex(page);
  FormActivate();
  open();
}

void TFOpt::FormActivate() {
  usedKeys_.fill(false);
  switch (page_) {
    case KeyMapPage: LoadKeyPage(); break;
    case MidiPage: LoadMidiPage(); break;
    case KitPage: LoadKitPage(); break;
    case SongInfoPage: LoadSongPage(); break;
    case ExpressionKeyPage: LoadExpressionPage(); break;
    default: break;
  }
}

void TFOpt::reject() {
  switch (page_) {
    case KeyMapPage: case KitPage: Button5Click(); break;
    case MidiPage: Button2Click(); break;
    default: QDialog::done(Rejected); break;
  }
}

// --- Key map.

void TFOpt::LoadKeyPage() {
  for (HotKeyBox* box : HotKeys) {
    const uint8_t code = settings_->KeyMap[static_cast<std::size_t>(box->property("Tag").toInt())];
    box->SetKey(code);
    usedKeys_[code] = true;
  }
}

void TFOpt::HotKeyExit(HotKeyBox* box) {
  if (!isVisible()) return;  // the dialog is closing; its pages are reloaded when it opens again
  const auto t = static_cast<std::size_t>(box->property("Tag").toInt());
  const int k = box->Key();
  if (!IsAcceptedKeyCode(k)) {
    RefuseKey(box, kKeyCannotBeUsedMessage);
  } else if (!usedKeys_[static_cast<std::size_t>(k)]) {
    usedKeys_[static_cast<std::size_t>(k)] = true;
    usedKeys_[settings_->KeyMap[t]] = false;
    settings_->KeyMap[t] = static_cast<uint8_t>(k);
  } else if (k != settings_->KeyMap[t]) {
    RefuseKey(box, kKeyAlreadyUsedMessage);
  }
}

void TFOpt::RefuseKey(HotKeyBox* box, const char* message) {
  // After the focus change has finished: a box shown in the middle of it would leave a button
  // that was being clicked half-pressed. A click on OK. or Cancel has closed the dialog by then,
  // and the refused key was never taken into the key map.
  QTimer::singleShot(0, this, [this, box, message] {
    if (!isVisible()) return;
    Message(message);
    box->setFocus(Qt::OtherFocusReason);
  });
}

void TFOpt::PlaySoundClick(int tag) {
  const NoteOfKey note = tag >= 0 && tag < 12 ? NoteOfEntry(tag) : NoteOfKey{1, 0};
  if (!noteOff_) noteOff_ = std::make_unique<QtNoteOffScheduler>();
  PlayDrumNote(MidiOut, static_cast<uint8_t>(note.Row), note.Variant, 127, 0, *noteOff_);
}

void TFOpt::Button6Click() {
  SaveOptionsOrWarn();
  QDialog::done(Accepted);
}

void TFOpt::Button7Click() {
  usedKeys_.fill(false);
  settings_->KeyMap = kDefaultKeyMap;
  for (HotKeyBox* box : HotKeys) {
    const uint8_t code = settings_->KeyMap[static_cast<std::size_t>(box->property("Tag").toInt())];
    usedKeys_[code] = true;
    box->SetKey(code);
  }
}

void TFOpt::Button5Click() {
  // Exactly what was there when the dialog opened. Not the options file: the kit in use is the
  // open song's, which the file need not hold, and the device is the one that plays.
  settings_->KeyMap = keyMapAtEntry_;
  {
    std::unique_lock<std::mutex> edit;
    if (main_) edit = std::unique_lock<std::mutex>(main_->DocumentLock());  // playback reads the kit
    settings_->GlobalKit = kitAtEntry_;
  }
  QDialog::done(Rejected);
}

// --- MIDI device.

void TFOpt::LoadMidiPage() {
  LDev->clear();
  ListMidiDevices(deviceNames_);
  for (const std::string& name : deviceNames_) LDev->addItem(QString::fromStdString(name));
  const auto count = static_cast<int32_t>(deviceNames_.size());
  // A stored device that is not listed (a port that has gone) shows the first one. The device at
  // entry is taken after that, so Cancel goes back to a device that exists.
  int32_t& device = settings_->MidiDeviceIndex;
  if (device != -1 && (device < 0 || device >= count)) device = 0;
  deviceAtEntry_ = device;
  pendingDevice_ = device;
  openAtEntry_ = MidiOut.IsOpen;
  deviceTouched_ = false;
  LDev->setCurrentRow(device == -1 ? count - 1 : device);
  if (QListWidgetItem* item = LDev->currentItem()) EAct->setText(item->text());
  LDev->setFocus(Qt::OtherFocusReason);
}

bool TFOpt::SelectedDevice(int32_t& id) const {
  const int row = LDev->currentRow();
  if (row < 0 || !LDev->currentItem() || !LDev->currentItem()->isSelected()) return false;
  id = DeviceIdOfListIndex(static_cast<std::size_t>(row), deviceNames_.size());
  return true;
}

void TFOpt::Button4Click() {
  int32_t id = 0;
  if (!SelectedDevice(id)) return;
  EAct->setText(LDev->currentItem()->text());
  settings_->MidiDeviceIndex = id;
  pendingDevice_ = id;
  deviceTouched_ = true;
  if (!ReopenDevice(main_, [id] {
        CloseMidiDevice(MidiOut);
        return OpenMidiDevice(MidiOut, id);
      })) {
    Message(kMidiOpenErrorMessage);
    EAct->setText(kChooseADevice);
  }
}

void TFOpt::Button1Click() {
  int32_t id = 0;
  if (!SelectedDevice(id)) return;
  settings_->MidiDeviceIndex = id;
  deviceTouched_ = true;
  if (!ReopenDevice(main_, [id] {
        CloseMidiDevice(MidiOut);
        return OpenMidiDevice(MidiOut, id);
      })) {
    Message(kMidiOpenErrorMessage);
    return;
  }
  static std::mt19937 random(
      static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
  const auto row = static_cast<uint8_t>(1 + random() % 8);
  if (!noteOff_) noteOff_ = std::make_unique<QtNoteOffScheduler>();
  PlayDrumNote(MidiOut, row, 0, 127, 0, *noteOff_);
}

bool TFOpt::OpenPendingDevice() {
  if (!ReopenDevice(main_, [this] {
        CloseMidiDevice(MidiOut);
        return OpenMidiDevice(MidiOut, settings_->MidiDeviceIndex);
      })) {
    Message(kChooseAnotherDeviceMessage);
    return false;
  }
  ShowDeviceInMainWindow();
  QDialog::done(Accepted);
  return true;
}

void TFOpt::ShowDeviceInMainWindow() {
  // The same device in the main window's (hidden) device box: its last entry is the mapper.
  QComboBox* devices = main_ ? main_->findChild<QComboBox*>("ComboBox2") : nullptr;
  if (devices && devices->count() > 0) {
    const int last = devices->count() - 1;
    const int32_t device = settings_->MidiDeviceIndex;
    const int index = device == -1 ? last : device;
    if (index <= last) {
      const QSignalBlocker block(devices);
      devices->setCurrentIndex(index);
    }
  }
}

void TFOpt::Button3Click() {
  settings_->MidiDeviceIndex = pendingDevice_;
  OpenPendingDevice();
}

void TFOpt::Button2Click() {
  // Cancel always closes the page: on a machine where no device opens, the page would otherwise
  // hold the program for ever. What was there comes back: the device in use at entry, or silence.
  settings_->MidiDeviceIndex = deviceAtEntry_;
  if (deviceTouched_) {  // Set or Test has closed the device that was open
    const bool reopen = openAtEntry_;
    if (!ReopenDevice(main_, [this, reopen] {
          CloseMidiDevice(MidiOut);
          return !reopen || OpenMidiDevice(MidiOut, settings_->MidiDeviceIndex);
        }))
      Message(kMidiOpenErrorMessage);
  }
  ShowDeviceInMainWindow();
  QDialog::done(Rejected);
}

// --- Drum kit.

std::array<QCheckBox*, 9> TFOpt::KitBoxes() const { return {xct, xc, xr, xhh, xt1, xt2, xf, xs, xb}; }

void TFOpt::LoadKitPage() {
  const auto boxes = KitBoxes();
  for (std::size_t r = 0; r < boxes.size(); ++r) boxes[r]->setChecked(settings_->GlobalKit[r] != 0);
}

void TFOpt::Button9Click() {
  std::array<uint8_t, kRowCount> kit{};
  const auto boxes = KitBoxes();
  for (std::size_t r = 0; r < boxes.size(); ++r) kit[r] = boxes[r]->isChecked() ? 1 : 0;
  if (main_ && main_->DocumentShown() && main_->Cursor()) {
    Osnova& doc = *main_->Document();
    if (doc.Kit != kit) {
      // A document change like any other: undoable, and asked about before quitting.
      main_->Push("kit change");
      {
        const std::lock_guard<std::mutex> edit(main_->DocumentLock());  // playback reads the kit
        doc.Kit = kit;
        RecomputeLineOfRow(doc);  // rows switched off keep their old number
        settings_->GlobalKit = kit;
      }
      doc.Modified = true;
      // The same bars stay in view, so the cursor keeps its column and line.
      main_->View()->RepaintView(doc, doc.FirstVisibleBar);
      main_->RefreshBarControls();  // draws the cursor box again
    }
  }
  {
    std::unique_lock<std::mutex> edit;
    if (main_) edit = std::unique_lock<std::mutex>(main_->DocumentLock());
    settings_->GlobalKit = kit;
  }
  SaveOptionsOrWarn();
  QDialog::done(Accepted);
}

void TFOpt::Button10Click() {
  {
    std::unique_lock<std::mutex> edit;
    if (main_) edit = std::unique_lock<std::mutex>(main_->DocumentLock());  // playback reads the kit
    settings_->GlobalKit.fill(1);
  }
  for (QCheckBox* box : KitBoxes()) box->setChecked(true);
}

// --- Song information.

void TFOpt::LoadSongPage() {
  Osnova* doc = main_ ? main_->Document() : nullptr;
  if (!doc) return;
  EArtist->setText(FromCp1252(doc->Artist));
  ESong->setText(FromCp1252(doc->Song));
  Ealbum->setText(FromCp1252(doc->Album));
  EDrum->setText(FromCp1252(doc->Drummer));
  EAutor->setText(FromCp1252(doc->TabAuthor));
  EEmail->setText(FromCp1252(doc->Email));
  Ebars->setText(QString::number(doc->BarCount));
  if (ETakt->text().isEmpty())
    ETakt->setText(main_->findChild<QComboBox*>("ETakt1")->currentText() + "/" +
                   main_->findChild<QComboBox*>("Etakt2")->currentText());
  ETemp->setText(main_->findChild<TempoBox*>("ETempo")->RawText());
}

void TFOpt::Button11Click() {
  const std::string artist = InfoText(ToCp1252(EArtist->text()));
  const std::string song = InfoText(ToCp1252(ESong->text()));
  const std::string album = InfoText(ToCp1252(Ealbum->text()));
  const std::string drummer = InfoText(ToCp1252(EDrum->text()));
  const std::string author = InfoText(ToCp1252(EAutor->text()));
  const std::string email = InfoText(ToCp1252(EEmail->text()));
  if (main_ && main_->DocumentShown()) {
    Osnova& doc = *main_->Document();
    if (doc.Artist != artist || doc.Song != song || doc.Album != album || doc.Drummer != drummer ||
        doc.TabAuthor != author || doc.Email != email) {
      main_->Push("song information");
      doc.Artist = artist;
      doc.Song = song;
      doc.Album = album;
      doc.Drummer = drummer;
      doc.TabAuthor = author;
      doc.Email = email;
      doc.Modified = true;
    }
  }
  if (main_) {
    main_->Settings().DefaultTabAuthor = ToCp1252(EAutor->text());
    main_->Settings().DefaultEmail = ToCp1252(EEmail->text());
  }
  QDialog::done(Accepted);
}

// --- Messages and the options file.

DialogService& TFOpt::Dialogs() {
  static QtDialogService fallback;  // a dialog without a main window (never in the program)
  return main_ ? main_->Dialogs() : fallback;
}

void TFOpt::Message(const QString& text) {
  Dialogs().Message(this, DialogService::Icon::Plain, kApplicationTitle, text);
}

void TFOpt::SaveOptionsOrWarn() { SaveOptionsShowingErrors(*settings_, Dialogs(), this); }
