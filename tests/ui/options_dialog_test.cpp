// The options dialog on the real main window: keys pressed into the hot-key boxes, the device
// buttons over a recording device layer, the kit and song pages checked on the document and the
// picture, and the options file in the (temporary) configuration folder.
#include <QCheckBox>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <set>

#include "files/options_file.h"
#include "midi/drum_map.h"
#include "midi/playback.h"
#include "tests/midi/fake_play_clock.h"
#include "ui/expression_keys.h"
#include "ui/extended_settings.h"
#include "tests/ui/main_window_fixture.h"
#include "tests/ui/wait.h"
#include "ui/hot_key_box.h"
#include "layout/key_map.h"
#include "ui/options_dialog.h"

namespace {

std::string DefaultOptionsFile() {
  StoredOptions o;
  o.Keys = kDefaultKeyMap;
  o.Kit.fill(1);
  return OptionsBytes(o);
}

std::string ReadOptionsFile() {
  std::string bytes, error;
  EXPECT_TRUE(ReadWholeFile(OptionsFilePath(), bytes, error)) << error;
  return bytes;
}

}  // namespace

class OptionsDialogTest : public MainWindowTest {
 protected:
  void TearDown() override {
    delete dialog.data();  // a child of the window: gone already when a test closed the window
    MainWindowTest::TearDown();
  }

  // The options file the window will read when it is created.
  void StoreOptions(const StoredOptions& options) {
    QDir().mkpath(QString::fromStdString(OptionsFolder()));
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(OptionsFilePath(), OptionsBytes(options), error)) << error;
  }

  // The dialog as the program creates it, opened from the Options menu.
  TFOpt& Open(const char* menuItem) {
    if (!dialog) {
      dialog = new TFOpt(&Window());
      Window().SetOptionsForm(dialog);
    }
    Item(menuItem)->trigger();
    EXPECT_TRUE(dialog->isVisible());
    dialog->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
    return *dialog;
  }

  // A key pressed into a box, then Tab to the next control, as a user would.
  void Assign(HotKeyBox* box, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    box->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
    QTest::keyClick(box, key, modifiers);
    QTest::keyClick(box, Qt::Key_Tab);
    QApplication::processEvents();
  }

  // Typed character by character (also those without a key of their own), then Enter.
  void Type(QLineEdit* box, const QString& text) {
    Enter(box);
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    for (QChar c : text) QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    QTest::keyClick(box, Qt::Key_Return);
  }

  void BackToWindow() {
    Window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
  }

  QPointer<TFOpt> dialog;
};

TEST_F(OptionsDialogTest, HotKeyBoxesRefuseUsedAndUnusableKeysAndTakeFreeOnes) {
  TFOpt& d = Open("Keymap1");
  EXPECT_EQ(d.size(), QSize(273, 430));
  EXPECT_EQ(d.Page1->currentWidget(), d.KeyTab);
  EXPECT_EQ(d.HotKeys[0]->text(), "1");
  EXPECT_EQ(d.HotKeys[12]->text(), ".");
  // Play sound: the table's instrument at velocity 127.
  QTest::mouseClick(d.PlayButtons[KeyRimClick], Qt::LeftButton);
  QTest::mouseClick(d.PlayButtons[KeyRide], Qt::LeftButton);
  EXPECT_EQ(NoteOns(), (std::vector<uint32_t>{PackShortMessage(0x99, 37, 127), PackShortMessage(0x99, 59, 127)}));

  // Q is the closed hi-hat's: refused, the box keeps the focus, the key map is unchanged.
  Assign(d.HotKeys[0], Qt::Key_Q);
  ASSERT_TRUE(WaitUntil([&] { return dialogs.Messages().size() == 1; }));
  EXPECT_EQ(dialogs.Messages()[0], kKeyAlreadyUsedMessage);
  ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == d.HotKeys[0]; }));
  EXPECT_EQ(Window().Settings().KeyMap[KeyCrash], '1');

  // P (Shift dropped) is free: taken, and 1 is free for the splash cymbal.
  Assign(d.HotKeys[0], Qt::Key_P, Qt::ShiftModifier);
  EXPECT_EQ(d.HotKeys[0]->text(), "P");
  EXPECT_EQ(Window().Settings().KeyMap[KeyCrash], 'P');
  Assign(d.HotKeys[1], Qt::Key_1);
  EXPECT_EQ(Window().Settings().KeyMap[KeySplash], '1');

  // F1 cannot be a note key.
  Assign(d.HotKeys[2], Qt::Key_F1);
  ASSERT_TRUE(WaitUntil([&] { return dialogs.Messages().size() == 2; }));
  EXPECT_EQ(dialogs.Messages()[1], kKeyCannotBeUsedMessage);
  ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == d.HotKeys[2]; }));
  EXPECT_EQ(Window().Settings().KeyMap[KeyChina], '3');

  // OK. stores the map; P now sets a crash cymbal in the window.
  QTest::mouseClick(d.Button6, Qt::LeftButton);
  EXPECT_FALSE(d.isVisible());
  const std::string file = ReadOptionsFile();
  EXPECT_EQ(file.substr(0, 24), "@Custom KeyMap\r\n80\r\n49\r\n");
  EXPECT_EQ(dialogs.Messages().size(), 2u) << "the refused box is not checked again on closing";

  BackToWindow();
  Window().NewDocument();
  Press(Qt::Key_P);
  EXPECT_TRUE(Window().Document()->Bar(0).Rows[RowCymbals].Has(0));
  EXPECT_EQ(Window().Document()->Bar(0).Rows[RowCymbals].Cells[0].Variant, 0);
}

TEST_F(OptionsDialogTest, DefaultRestoresAllKeysAtOnceAndCancelGoesBackToTheKeysInUse) {
  StoredOptions stored;
  stored.Keys = {'J', 'K', 'L', 'U', 'I', 'O', 'P', 'H', 'G', 'B', 'N', 'M', 219, 221};
  stored.Kit.fill(1);
  StoreOptions(stored);
  TFOpt& d = Open("Keymap1");
  EXPECT_EQ(d.HotKeys[6]->text(), "P");
  EXPECT_EQ(d.HotKeys[12]->text(), "[");

  QTest::mouseClick(d.Button7, Qt::LeftButton);  // Default: at once, before OK.
  EXPECT_EQ(Window().Settings().KeyMap, kDefaultKeyMap);
  for (int t = 0; t < kKeyMapSize; ++t)
    EXPECT_EQ(d.HotKeys[static_cast<std::size_t>(t)]->Key(), kDefaultKeyMap[static_cast<std::size_t>(t)]);
  Assign(d.HotKeys[6], Qt::Key_X);  // the keys freed by Default are free in the boxes
  EXPECT_EQ(Window().Settings().KeyMap[KeySnare], 'X');
  EXPECT_TRUE(dialogs.Messages().empty());

  // Cancel: the key map in use when the page opened (here the one read from the file).
  QTest::mouseClick(d.Button5, Qt::LeftButton);
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(Window().Settings().KeyMap, stored.Keys);

  // Default and OK.: in effect in the window and in the file.
  Open("Keymap1");
  QTest::mouseClick(d.Button7, Qt::LeftButton);
  QTest::mouseClick(d.Button6, Qt::LeftButton);
  EXPECT_EQ(ReadOptionsFile(), DefaultOptionsFile());
  BackToWindow();
  Window().NewDocument();
  Press(Qt::Key_S);
  Press(Qt::Key_Period);  // greater pace: 1/4 to 1/2
  EXPECT_TRUE(Window().Document()->Bar(0).Rows[RowSnare].Has(0));
  EXPECT_EQ(Find<QComboBox>("RPace")->currentIndex(), 3);
}

TEST_F(OptionsDialogTest, MidiPageSetsTestsAndConfirmsDevices) {
  StoredOptions stored;
  stored.Keys = kDefaultKeyMap;
  stored.Kit.fill(1);
  stored.DeviceIndex = 7;  // more than the two devices and the mapper
  StoreOptions(stored);
  TFOpt& d = Open("Midi1");
  ASSERT_EQ(d.LDev->count(), 3);
  EXPECT_EQ(d.LDev->item(2)->text(), "Midi Mapper");
  EXPECT_EQ(d.LDev->currentRow(), 0);
  EXPECT_EQ(d.EAct->text(), "Synth A");
  EXPECT_EQ(Window().Settings().MidiDeviceIndex, 0);

  // Set the second device, confirm: the window's hidden box follows.
  d.LDev->setCurrentRow(1);
  QTest::mouseClick(d.Button4, Qt::LeftButton);
  EXPECT_EQ(d.EAct->text(), "Port B");
  EXPECT_EQ(midi.Opened.back(), 1);
  QTest::mouseClick(d.Button3, Qt::LeftButton);
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(Window().Settings().MidiDeviceIndex, 1);
  EXPECT_EQ(Find<QComboBox>("ComboBox2")->currentIndex(), 1);

  // Test on another device sounds a note at 127 there; Cancel goes back to the device in use.
  Open("Midi1");
  EXPECT_EQ(d.LDev->currentRow(), 1);
  d.LDev->setCurrentRow(2);
  midi.Sent.clear();
  QTest::mouseClick(d.Button1, Qt::LeftButton);
  EXPECT_EQ(midi.Opened.back(), -1);
  ASSERT_EQ(NoteOns().size(), 1u);
  EXPECT_EQ(NoteOns()[0] >> 16, 127u);
  EXPECT_EQ(d.EAct->text(), "Port B") << "Test changes neither the box nor the pending device";
  QTest::mouseClick(d.Button2, Qt::LeftButton);
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(midi.Opened.back(), 1);
  EXPECT_EQ(Window().Settings().MidiDeviceIndex, 1);

  // Nothing selected: Set and Test do nothing.
  Open("Midi1");
  d.LDev->clearSelection();
  d.LDev->setCurrentRow(-1);
  const std::size_t opened = midi.Opened.size();
  QTest::mouseClick(d.Button4, Qt::LeftButton);
  QTest::mouseClick(d.Button1, Qt::LeftButton);
  EXPECT_EQ(midi.Opened.size(), opened);

  // A device that fails: Set says so; OK. keeps the dialog open with its own message.
  midi.OpenSucceeds = false;
  d.LDev->setCurrentRow(0);
  QTest::mouseClick(d.Button4, Qt::LeftButton);
  EXPECT_EQ(d.EAct->text(), kChooseADevice);
  QTest::mouseClick(d.Button3, Qt::LeftButton);
  EXPECT_TRUE(d.isVisible());
  EXPECT_EQ(dialogs.Messages(),
            (std::vector<QString>{kMidiOpenErrorMessage, kChooseAnotherDeviceMessage}));

  // The mapper, confirmed, is the window box's last entry and 4294967295 in the file.
  midi.OpenSucceeds = true;
  d.LDev->setCurrentRow(2);
  QTest::mouseClick(d.Button4, Qt::LeftButton);
  QTest::mouseClick(d.Button3, Qt::LeftButton);
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(Find<QComboBox>("ComboBox2")->currentIndex(), 2);
  window.reset();  // the window saves the options as it goes
  EXPECT_NE(ReadOptionsFile().find("@Midi Device = 4294967295\r\n"), std::string::npos);
}

TEST_F(OptionsDialogTest, SwitchingOffRideRemovesItsRowAndRenumbersTheRowsBelow) {
  TFmain& w = Window();
  w.NewDocument();
  Press(Qt::Key_R);  // a ride note and a hi-hat note at position 0
  Press(Qt::Key_Q);
  Osnova& doc = *w.Document();
  const uint8_t hiHatLine = doc.LineOfRow[RowHiHat];
  const QImage before = w.View()->Image().copy();

  TFOpt& d = Open("Selectkit1");
  EXPECT_EQ(d.Page1->currentWidget(), d.TabSheet1);
  EXPECT_TRUE(d.xr->isChecked());
  EXPECT_FALSE(d.xct->isVisible());
  d.xr->click();
  QTest::mouseClick(d.Button9, Qt::LeftButton);
  EXPECT_FALSE(d.isVisible());

  EXPECT_EQ(doc.Kit[RowRide], 0);
  EXPECT_EQ(Window().Settings().GlobalKit[RowRide], 0);
  EXPECT_EQ(doc.LineOfRow[RowHiHat], hiHatLine - 1);
  EXPECT_EQ(ShownInstrumentRows(doc), 7);
  EXPECT_TRUE(doc.Modified);
  EXPECT_TRUE(Find<QToolButton>("BUndo")->isEnabled());
  EXPECT_NE(w.View()->Image(), before);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
  EXPECT_NE(ReadOptionsFile().find("\r\nTRUE\r\nTRUE\r\nFALSE\r\nTRUE\r\n"), std::string::npos);

  // Undo brings the row back.
  ASSERT_TRUE(w.BUndoClick());
  EXPECT_EQ(w.Document()->Kit[RowRide], 1);
  EXPECT_EQ(Window().Settings().GlobalKit[RowRide], 1);
}

// Cancel puts back what was there when the dialog opened: the open song's kit (which the options
// file need not hold) and the key map in use (which another window may have stored over).
TEST_F(OptionsDialogTest, CancelRestoresTheSongsKitAndTheKeyMapInUse) {
  TFmain& w = Window();
  Osnova song(4, 2, 4);
  song.Kit[RowRide] = 0;
  ASSERT_TRUE(w.OpenDocumentFile(WriteTabFile("no-ride.gvlm", song)));
  ASSERT_EQ(Window().Settings().GlobalKit[RowRide], 0);
  ASSERT_NE(ReadOptionsFile().find("TRUE\r\nTRUE\r\nTRUE\r\n"), std::string::npos);

  TFOpt& d = Open("Selectkit1");
  EXPECT_FALSE(d.xr->isChecked());
  QTest::mouseClick(d.Button10, Qt::LeftButton);  // Default: every row, live
  EXPECT_EQ(Window().Settings().GlobalKit[RowRide], 1);
  QTest::mouseClick(d.Button8, Qt::LeftButton);
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(Window().Settings().GlobalKit, song.Kit) << "the hidden ride stays silent";
  Open("Selectkit1");
  EXPECT_FALSE(d.xr->isChecked());
  QTest::keyClick(&d, Qt::Key_Escape);  // Escape is Cancel
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(Window().Settings().GlobalKit, song.Kit);

  // Another window stores a key map meanwhile; Cancel here goes back to this window's own.
  StoredOptions other;
  other.Keys = {'J', 'K', 'L', 'U', 'I', 'O', 'P', 'H', 'G', 'B', 'N', 'M', 219, 221};
  other.Kit.fill(1);
  StoreOptions(other);
  Window().Settings().KeyMap[KeySnare] = 'X';
  const auto inUse = Window().Settings().KeyMap;
  Open("Keymap1");
  QTest::mouseClick(d.Button7, Qt::LeftButton);
  QTest::mouseClick(d.Button5, Qt::LeftButton);
  EXPECT_EQ(Window().Settings().KeyMap, inUse);
  EXPECT_TRUE(dialogs.Messages().empty());
}

// With no sound output every device fails to open: OK says so once and stays, Cancel and Escape
// always close the page, and the program stays silent on the device it had.
TEST_F(OptionsDialogTest, MidiPageCanAlwaysBeLeftWhenNoDeviceOpens) {
  midi.OpenSucceeds = false;
  Window();
  EXPECT_EQ(dialogs.Messages(), std::vector<QString>{kMidiOpenErrorMessage});  // at start-up
  ASSERT_FALSE(MidiOut.IsOpen);
  TFOpt& d = Open("Midi1");
  d.LDev->setCurrentRow(1);
  QTest::mouseClick(d.Button3, Qt::LeftButton);
  EXPECT_TRUE(d.isVisible());
  EXPECT_EQ(dialogs.Messages().size(), 2u);
  EXPECT_EQ(dialogs.Messages().back(), kChooseAnotherDeviceMessage);
  QTest::mouseClick(d.Button4, Qt::LeftButton);  // Set: fails too
  EXPECT_EQ(dialogs.Messages().size(), 3u);

  QTest::mouseClick(d.Button2, Qt::LeftButton);
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(dialogs.Messages().size(), 3u) << "Cancel shows nothing more";
  EXPECT_EQ(Window().Settings().MidiDeviceIndex, 0);
  EXPECT_FALSE(MidiOut.IsOpen);
  EXPECT_EQ(Find<QComboBox>("ComboBox2")->currentIndex(), 0);

  Open("Midi1");
  d.LDev->setCurrentRow(2);
  QTest::mouseClick(d.Button1, Qt::LeftButton);  // Test: fails
  EXPECT_EQ(dialogs.Messages().size(), 4u);
  QTest::keyClick(&d, Qt::Key_Escape);
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(dialogs.Messages().size(), 4u);
  EXPECT_EQ(Window().Settings().MidiDeviceIndex, 0);
  EXPECT_FALSE(MidiOut.IsOpen);
}

TEST_F(OptionsDialogTest, SongInformationOkFillsTheDocumentAndCancelLeavesIt) {
  TFmain& w = Window();
  w.NewDocument();
  Osnova& doc = *w.Document();
  TFOpt& d = Open("Songinfo1");
  EXPECT_EQ(d.Page1->currentWidget(), d.TSong);
  EXPECT_EQ(d.ETakt->text(), "4/4");
  EXPECT_EQ(d.Ebars->text(), "12");
  EXPECT_EQ(d.ETemp->text(), Find<TempoBox>("ETempo")->RawText());

  // Cancel: nothing changes.
  Type(d.EArtist, "Somebody");
  QTest::mouseClick(d.Button12, Qt::LeftButton);
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(doc.Artist, "");
  EXPECT_FALSE(doc.Modified);

  Open("Songinfo1");
  EXPECT_EQ(d.EArtist->text(), "") << "the page shows the document again";
  const QString longName = QString("A").repeated(30) + QString::fromUtf8("é") + QString("B").repeated(29);
  Type(d.EArtist, longName);
  Type(d.EDrum, QString::fromUtf8("Ω Zoë"));  // no Windows-1252 byte for Ω: not typed
  EXPECT_EQ(d.EDrum->text(), QString::fromUtf8(" Zoë"));
  Type(d.EAutor, "Tab Writer");
  QTest::mouseClick(d.Button11, Qt::LeftButton);
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(doc.Artist.size(), 50u);
  EXPECT_EQ(doc.Artist, std::string(30, 'A') + "\xE9" + std::string(19, 'B'));
  EXPECT_EQ(doc.Drummer, " Zo\xEB");
  EXPECT_EQ(doc.TabAuthor, "Tab Writer");
  EXPECT_TRUE(doc.Modified);
  EXPECT_TRUE(Find<QToolButton>("BUndo")->isEnabled());
  EXPECT_EQ(w.Settings().DefaultTabAuthor, "Tab Writer");

  // Undo takes the information back out.
  ASSERT_TRUE(w.BUndoClick());
  EXPECT_EQ(w.Document()->Artist, "");
}

TEST_F(OptionsDialogTest, WindowReadsTheFileAtStartAndWritesItWhenItGoes) {
  // Both headings wrong: two warnings, the window still comes up, the values are read.
  std::string bytes = DefaultOptionsFile();
  bytes.replace(0, 14, "@Custom Keys");
  bytes.replace(bytes.find("@Custom DrumKit"), 15, "DrumKit");
  bytes.replace(bytes.find("\r\n83\r\n"), 6, "\r\n80\r\n");
  bytes.replace(bytes.find("TRUE\r\nTRUE\r\nTRUE\r\n"), 18, "TRUE\r\nTRUE\r\nfalse\r\n");
  QDir().mkpath(QString::fromStdString(OptionsFolder()));
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(OptionsFilePath(), bytes, error)) << error;

  TFmain& w = Window();
  EXPECT_EQ(dialogs.Messages(),
            (std::vector<QString>{kOptionsCorruptedWarning, kOptionsCorruptedWarning}));
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(Window().Settings().KeyMap[KeySnare], 'P');
  w.NewDocument();
  EXPECT_EQ(w.Document()->Kit[RowRide], 0);
  Press(Qt::Key_P);
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowSnare].Has(0));

  window.reset();
  std::string expected = DefaultOptionsFile();
  expected.replace(expected.find("\r\n83\r\n"), 6, "\r\n80\r\n");
  expected.replace(expected.find("TRUE\r\nTRUE\r\nTRUE\r\n"), 18, "TRUE\r\nTRUE\r\nFALSE\r\n");
  EXPECT_EQ(ReadOptionsFile(), expected);

  // A window whose options cannot be written says so as it goes, and goes.
  Window();
  dialogs.Clear();
  TestWriteFaults().FailAfterBytes = 5;
  window.reset();
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_TRUE(dialogs.Messages()[0].contains(QString::fromStdString(OptionsFilePath())));
  EXPECT_EQ(ReadOptionsFile(), expected);
}

// Set, Test, OK and Cancel each close the device and open one: a song playing meanwhile sends its
// following columns to the device open now, and nothing more to the one closed.
class OptionsDialogPlaybackTest : public OptionsDialogTest {
 protected:
  // Outlives the window, which closes the device as it goes.
  struct DeviceLayer : WindowTestMidiLayer {
    int Current = -2;
    std::vector<std::pair<int, uint32_t>> Heard;  // (device, message)
    bool Open(int id) override {
      Current = id;
      return WindowTestMidiLayer::Open(id);
    }
    void Send(uint32_t message) override { Heard.emplace_back(Current, message); }
    void Close() override { Current = -2; }
  } layer;
};

TEST_F(OptionsDialogPlaybackTest, PlaybackMovesToEachDeviceTheMidiPageOpens) {
  SetMidiDeviceLayer(&layer);
  TFmain& w = Window();
  auto fake = std::make_unique<FakePlayClock>();
  FakePlayClock& clock = *fake;
  w.SetPlayClock(std::move(fake));
  w.NewDocument();
  for (int p = 0; p < 16; ++p) w.Document()->EditBar(0).Rows[RowHiHat].Set(p, 0, 0);
  Find<QCheckBox>("chLoop")->setChecked(true);
  Item("PLaybar1")->trigger();
  ASSERT_TRUE(w.Metronom().Running());

  // The devices the hi-hats from `from` on reached (Test's note is louder).
  const uint32_t hiHat = PackShortMessage(0x99, DrumNoteOf(RowHiHat, 0), NoteVelocity(0));
  auto heard = [&](std::size_t from) {
    std::multiset<int> devices;
    for (std::size_t i = from; i < layer.Heard.size(); ++i)
      if (layer.Heard[i].second == hiHat) devices.insert(layer.Heard[i].first);
    return devices;
  };
  // Lets two more columns sound. Heard is read only while playback waits on the clock.
  auto play = [&] {
    const std::size_t from = layer.Heard.size();
    clock.Grant(2);
    EXPECT_TRUE(clock.WaitParked());
    return heard(from);
  };
  ASSERT_TRUE(clock.WaitParked());
  EXPECT_EQ(heard(0), (std::multiset<int>{0})) << "the first column at once";
  EXPECT_EQ(play(), (std::multiset<int>{0, 0}));

  TFOpt& d = Open("Midi1");
  d.LDev->setCurrentRow(1);
  QTest::mouseClick(d.Button4, Qt::LeftButton);  // Set
  EXPECT_EQ(play(), (std::multiset<int>{1, 1}));
  QTest::mouseClick(d.Button3, Qt::LeftButton);  // OK
  ASSERT_FALSE(d.isVisible());
  EXPECT_EQ(play(), (std::multiset<int>{1, 1}));

  Open("Midi1");
  d.LDev->setCurrentRow(2);
  QTest::mouseClick(d.Button1, Qt::LeftButton);  // Test on the mapper
  EXPECT_EQ(play(), (std::multiset<int>{-1, -1}));
  QTest::mouseClick(d.Button2, Qt::LeftButton);  // Cancel: back to the device in use
  EXPECT_EQ(play(), (std::multiset<int>{1, 1}));
  EXPECT_TRUE(w.Metronom().Running());
  w.StopCommand();
}

// The key page's "Expression keys..." page: a key set there is stored in settings.ini, not in the
// options file, and enters its expression in the window; Default and OK. put the defaults back.
TEST_F(OptionsDialogTest, ExpressionKeysAreSetOnTheirPageAndKeptInSettingsIni) {
  TFOpt& d = Open("Keymap1");
  QTest::mouseClick(d.BExpressionKeys, Qt::LeftButton);
  EXPECT_EQ(d.CurrentPage(), TFOpt::ExpressionKeyPage);
  EXPECT_EQ(d.ExpressionKeyBoxes[0]->text(), "G");
  Assign(d.ExpressionKeyBoxes[0], Qt::Key_U);  // ghost notes on U
  QTest::mouseClick(d.BExpressionOK, Qt::LeftButton);
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(ReadOptionsFile(), DefaultOptionsFile()) << "the options file does not change";
  EXPECT_EQ(ExtendedSettings().Int("ExpressionKeys/Ghost", 0, 0, 255), 'U');

  BackToWindow();
  TFmain& w = Window();
  w.NewDocument();
  Press(Qt::Key_S);
  Press(Qt::Key_G);
  EXPECT_EQ(w.Document()->Bar(0).Rows[RowSnare].Cells[0].Ghost, 0) << "G is no longer the ghost key";
  Press(Qt::Key_U);
  EXPECT_EQ(w.Document()->Bar(0).Rows[RowSnare].Cells[0].Ghost, 1);

  TFOpt& again = Open("Keymap1");
  QTest::mouseClick(again.BExpressionKeys, Qt::LeftButton);
  EXPECT_EQ(again.ExpressionKeyBoxes[0]->text(), "U");
  QTest::mouseClick(again.BExpressionDefault, Qt::LeftButton);
  QTest::mouseClick(again.BExpressionOK, Qt::LeftButton);
  EXPECT_EQ(ExpressionKeys()[static_cast<std::size_t>(ExpressionKind::Ghost)], 'G');
}
