// The main window as built: its frame, controls, menus, start-up state, the close query and the
// windows it opens.
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextBrowser>
#include <QUrl>

#include <thread>

#include "files/options_file.h"
#include "tests/ui/main_window_fixture.h"
#include "tests/ui/wait.h"
#include "ui/about_box.h"
#include "ui/demo_form.h"
#include "ui/options_dialog.h"
#include "ui/tab_view.h"

TEST_F(MainWindowTest, FrameStartsAtItsSmallestSizeWithMaximiseAndClientAreaIs800By512) {
  TFmain& w = Window();
  EXPECT_EQ(w.windowTitle(), "Grooveloom 1.0");
  EXPECT_EQ(w.centralWidget()->size(), QSize(800, 512));
  EXPECT_EQ(w.size(), w.minimumSize());
  EXPECT_GT(w.maximumSize().width(), w.minimumSize().width());
  EXPECT_TRUE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(w.font().pointSize(), 8);
}

TEST_F(MainWindowTest, ControlGroupsSitAtTheirFixedPlaces) {
  Window();
  struct Place {
    const char* Name;
    QRect Rect;
  };
  const Place places[] = {
      {"Panel1", {0, 0, 75, 25}},     {"Panel2", {75, 0, 202, 25}},    {"Panel5", {276, 0, 149, 25}},
      {"Panel4", {425, 0, 265, 25}},  {"Panel3", {690, 0, 111, 25}},   {"Panel6", {0, 25, 552, 25}},
      {"Panel8", {552, 25, 249, 25}}, {"i1", {-8, 48, 798, 369}},      {"ScrollBar1", {788, 50, 12, 367}},
      {"Panel7", {1, 419, 798, 92}},  // the instrument buttons, then the expression box
  };
  for (const Place& p : places) {
    QWidget* control = Find(p.Name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->parentWidget(), Window().centralWidget()) << p.Name;
    EXPECT_EQ(control->geometry(), p.Rect) << p.Name;
  }
  EXPECT_EQ(Find("Ecom")->width(), 417);
  EXPECT_EQ(Find("cbSong")->width(), 177);
  EXPECT_FALSE(Find("ComboBox2")->isVisible());
}

TEST_F(MainWindowTest, ButtonsCarryTheirHintsAndCaptions) {
  Window();
  const std::pair<const char*, const char*> hints[] = {
      {"SpeedButton2", "New"}, {"SpeedButton1", "Open"}, {"BSave", "Save"}, {"BUndo", "Undo"},
      {"BRedo", "Redo"}, {"BCopy", "Copy"}, {"BCut", "Cut"}, {"Bpaste", "Paste"},
      {"SpeedButton6", "Export to MIDI..."}, {"SpeedButton7", "Export to TXT..."},
      {"SpeedButton8", "Export to HTML..."}, {"SpeedButton11", "Clear bar"},
      {"SpeedButton10", "Insert bar"}, {"SpeedButton9", "Remove bar"}, {"BPLay", "Play"},
      {"BPLaySong", "Play song"}, {"BPLayBar", "Play bar"}, {"BStop", "Stop"},
      {"SpeedButton30", "Previous bar"}, {"SpeedButton29", "Next bar"}};
  for (auto [name, hint] : hints) {
    auto* button = Find<QToolButton>(name);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->toolTip(), hint) << name;
    EXPECT_TRUE(button->autoRaise()) << name << " is not flat";
  }
  EXPECT_EQ(Find<QToolButton>("SpeedButton12")->text(), "Clear");
  EXPECT_EQ(Find<QToolButton>("SpeedButton30")->text(), "<<");
  EXPECT_EQ(Find<QToolButton>("SpeedButton29")->text(), ">>");
  EXPECT_EQ(Find<QCheckBox>("chAccent")->text(), "Accented");
  EXPECT_EQ(Find<QCheckBox>("chLoop")->text(), "Loop");
  EXPECT_EQ(Find<QLabel>("LTime")->text(), "15:15");

  // The twelve instrument buttons, tagged row * 10 + variant.
  std::vector<std::pair<QString, int>> instruments;
  for (const char* name : {"SpeedButton3", "SpeedButton4", "SpeedButton5", "SpeedButton13", "SpeedButton14",
                           "SpeedButton15", "SpeedButton16", "SpeedButton17", "SpeedButton18",
                           "SpeedButton19", "SpeedButton20", "SpeedButton21"}) {
    QToolButton* b = Find<QToolButton>(name);
    ASSERT_NE(b, nullptr) << name;
    instruments.push_back({b->text(), b->property("Tag").toInt()});
  }
  const std::vector<std::pair<QString, int>> expected = {
      {"Crash", 10}, {"Splash", 11}, {"China", 12}, {"Closed", 30}, {"Open", 31}, {"Normal", 70},
      {"Rim click", 71}, {"Ride", 20}, {"Tom #1", 40}, {"Tom #2", 50}, {"Floor", 60}, {"Bass", 80}};
  EXPECT_EQ(instruments, expected);
}

TEST_F(MainWindowTest, BoxesStartWithTheirRangesAndPresets) {
  Window();
  EXPECT_EQ(Find<QComboBox>("ETakt1")->count(), 16);
  EXPECT_EQ(Find<QComboBox>("ETakt1")->itemText(15), "16");
  EXPECT_EQ(Find<QComboBox>("ETakt1")->currentText(), "4");
  EXPECT_EQ(Find<QComboBox>("Etakt2")->currentText(), "4");
  EXPECT_EQ(Find<QComboBox>("Etakt2")->count(), 3);
  EXPECT_EQ(Find<QComboBox>("Etakt2")->itemText(2), "16");
  EXPECT_EQ(Find<QComboBox>("RPace")->currentText(), "1/4");
  EXPECT_EQ(Find<QComboBox>("RPace")->itemText(0), "1/16");
  for (QSpinBox* tempo : {static_cast<QSpinBox*>(Find<TempoBox>("ETempo")), static_cast<QSpinBox*>(Find<TempoBox>("ESped"))}) {
    EXPECT_EQ(tempo->minimum(), 1);
    EXPECT_EQ(tempo->maximum(), 1024);
    EXPECT_EQ(tempo->value(), 120);
  }
  EXPECT_TRUE(Find<QSpinBox>("EAbar")->isReadOnly());
  EXPECT_FALSE(Find<QSpinBox>("EAbar")->isEnabled());
  EXPECT_EQ(Find<QScrollBar>("ScrollBar1")->minimum(), 1);
  EXPECT_EQ(Find<QScrollBar>("ScrollBar1")->pageStep(), 4);
  EXPECT_TRUE(Find<QComboBox>("cbSong")->isEditable());
}

TEST_F(MainWindowTest, MenusHaveTheirItemsAndShortcuts) {
  Window();
  struct ItemSpec {
    const char* Name;
    const char* Text;
    QKeySequence Shortcut;
  };
  const ItemSpec items[] = {
      {"New1", "&New", QKeySequence("Ctrl+N")},
      {"Open2", "&Open", QKeySequence("Ctrl+O")},
      {"File_3", "&Save", QKeySequence("Ctrl+S")},
      {"File_4", "Save &As...", {}},
      {"TextFile1", "&Text File", {}},
      {"HTMLFille1", "&HTML File", {}},
      {"MIDIFile1", "&MIDI File", {}},
      {"End1", "E&xit", QKeySequence("Alt+X")},
      {"EUndo", "U&ndo", QKeySequence("Ctrl+Z")},
      {"ERedo", "&Redo", QKeySequence("Ctrl+Shift+Z")},
      {"ECopy", "&Copy", QKeySequence("Ctrl+C")},
      {"ECut", "C&ut", QKeySequence("Ctrl+X")},
      {"EPaste", "&Paste", QKeySequence("Ctrl+V")},
      {"Clear1", "&Clear", QKeySequence(Qt::ControlModifier | Qt::Key_Delete)},
      {"Insert1", "&Insert", QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Plus)},
      {"Remove1", "&Remove", QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Minus)},
      {"Selectkit1", "&Select kit", {}},
      {"Midi1", "&Midi...", {}},
      {"Keymap1", "&Key map", {}},
      {"Songinfo1", "Song &info", {}},
      {"Play1", "&Play\tSpace", {}},
      {"PLaybar1", "Play &bar\tShift+Space", {}},
      {"Playsong1", "Play &song\tCtrl+Space", {}},
      {"Stop1", "S&top\tSpace, Esc", {}},
      {"MidiDemo1", "MIDI &Demo...", {}},
      {"Help1", "&Help", QKeySequence("F1")},
      {"Credits1", "&Credits", {}},
      {"EUndo1", "U&ndo", {}},
      {"ERedo1", "R&edo", {}},
      {"Addbar1", "&Add bar", {}},
      {"Removebar1", "&Remove bar", {}},
      {"Clearbar1", "C&lear bar", {}},
      {"Copybar1", "&Copy bar", {}},
      {"Cutbar1", "C&ut bar", {}},
      {"Pastebar1", "&Paste bar", {}},
  };
  for (const ItemSpec& request : items) {
    QAction* item = Item(request.Name);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), request.Text) << request.Name;
    EXPECT_EQ(item->shortcut(), request.Shortcut) << request.Name;
  }
  QStringList titles;
  for (QAction* a : Window().menuBar()->actions()) titles << a->text();
  EXPECT_EQ(titles, QStringList({"&File", "&Edit", "&Bar", "&Options", "&Playback", "&Tools", "&About..."}));
  EXPECT_EQ(Find<QMenu>("Export1")->title(), "&Export");
}

// Everything Lock names, with the controls that start disabled for other reasons.
static const char* const kLockedWidgets[] = {"Panel3", "Panel5", "BSave", "BCopy", "BCut", "i1",
                                             "ScrollBar1", "Panel7", "Panel2", "Panel6", "Panel8"};
static const char* const kLockedItems[] = {"File_3", "File_4", "ECopy", "ECut", "Songinfo1"};
static const char* const kLockedMenus[] = {"Bar1", "Playback", "Export1"};

TEST_F(MainWindowTest, EditingControlsAreOffUntilNewAndUndoRedoUntilUsable) {
  TFmain& w = Window();
  auto expectAll = [&](bool enabled) {
    for (const char* name : kLockedWidgets) EXPECT_EQ(Find(name)->isEnabled(), enabled) << name;
    for (const char* name : kLockedItems) EXPECT_EQ(Item(name)->isEnabled(), enabled) << name;
    for (const char* name : kLockedMenus)
      EXPECT_EQ(Find<QMenu>(name)->menuAction()->isEnabled(), enabled) << name;
  };
  auto expectUndoRedo = [&](bool undo, bool redo) {
    for (const char* name : {"EUndo", "EUndo1"}) EXPECT_EQ(Item(name)->isEnabled(), undo) << name;
    for (const char* name : {"ERedo", "ERedo1"}) EXPECT_EQ(Item(name)->isEnabled(), redo) << name;
    EXPECT_EQ(Find<QToolButton>("BUndo")->isEnabled(), undo);
    EXPECT_EQ(Find<QToolButton>("BRedo")->isEnabled(), redo);
  };
  expectAll(false);
  expectUndoRedo(false, false);
  // The imports make a song, so they are there before one exists.
  EXPECT_TRUE(Find<QMenu>("Edit")->menuAction()->isEnabled());
  EXPECT_TRUE(Find<QMenu>("Import1")->menuAction()->isEnabled());
  for (const char* name : {"PasteTab1", "ImportText1", "ImportMidi1"})
    EXPECT_TRUE(Item(name)->isEnabled()) << name;
  EXPECT_TRUE(Find<QToolButton>("SpeedButton2")->isEnabled() && Find<QToolButton>("SpeedButton1")->isEnabled());
  EXPECT_TRUE(Find<TempoBox>("ETempo")->isEnabled() && Find<QComboBox>("RPace")->isEnabled());
  EXPECT_EQ(w.Document(), nullptr);

  Find<QToolButton>("SpeedButton2")->click();
  expectAll(true);
  expectUndoRedo(false, false);
  ASSERT_NE(w.Document(), nullptr);

  TypeAndLeave(Find<TempoBox>("ETempo"), "140");  // an edit
  expectUndoRedo(true, false);
  Find<QToolButton>("BUndo")->click();
  expectUndoRedo(false, true);
  Find<QToolButton>("BRedo")->click();
  expectUndoRedo(true, false);
}

// The device the next window finds in the options file.
static void StoreDevice(int32_t id) {
  StoredOptions options;
  options.Keys = kDefaultKeyMap;
  options.Kit.fill(1);
  options.DeviceIndex = id;
  std::string error;
  ASSERT_TRUE(SaveOptions(options, error)) << error;
}

TEST_F(MainWindowTest, StartUpListsTheDevicesAndOpensTheOneInUse) {
  StoreDevice(1);
  Window();
  ASSERT_EQ(Find<QComboBox>("ComboBox2")->count(), 3);
  EXPECT_EQ(Find<QComboBox>("ComboBox2")->itemText(0), "Synth A");
  EXPECT_EQ(Find<QComboBox>("ComboBox2")->itemText(2), "Midi Mapper");
  EXPECT_EQ(Find<QComboBox>("ComboBox2")->currentIndex(), 1);
  EXPECT_EQ(midi.Opened, std::vector<int>{1});
  EXPECT_TRUE(dialogs.Log().empty());
}

TEST_F(MainWindowTest, StartUpWithTheMapperSelectsTheLastEntry) {
  StoreDevice(-1);
  Window();
  EXPECT_EQ(Find<QComboBox>("ComboBox2")->currentIndex(), 2);
  EXPECT_EQ(midi.Opened, std::vector<int>{-1});
}

TEST_F(MainWindowTest, DeviceThatDoesNotOpenIsReportedOnceAndTheWindowComesUp) {
  midi.OpenSucceeds = false;
  TFmain& w = Window();
  EXPECT_EQ(dialogs.Messages(), std::vector<QString>{"Error on opening Midi Device"});
  EXPECT_EQ(dialogs.Log()[0].BoxIcon, DialogService::Icon::Plain);
  EXPECT_TRUE(w.isVisible());
}

TEST_F(MainWindowTest, CloseQueryAsksToQuitAndOnlyYesCloses) {
  TFmain& w = Window();
  dialogs.Answers = {false};
  EXPECT_FALSE(w.close());
  EXPECT_TRUE(w.isVisible());
  dialogs.Answers = {true};
  EXPECT_TRUE(w.close());
  EXPECT_EQ(dialogs.Questions(),
            std::vector<QString>({"Do you really want to quit?", "Do you really want to quit?"}));
}

TEST_F(MainWindowTest, CloseQueryAsksAboutUnsavedChangesOnceTheDocumentChanged) {
  TFmain& w = Window();
  w.NewDocument();
  dialogs.Answers = {false};
  EXPECT_FALSE(w.close());
  EXPECT_EQ(dialogs.Questions().back(), "Do you really want to quit?");

  // A tempo change is a change to what Save writes.
  TypeAndLeave(Find<TempoBox>("ETempo"), "100");
  dialogs.Answers = {false};
  EXPECT_FALSE(w.close());
  EXPECT_EQ(dialogs.Questions().back(), kQuitUnsavedQuestion);

  // So is a comment, in a fresh document.
  dialogs.Answers = {true};  // replace the modified document
  w.NewDocument();
  TypeAndLeave(Find<CommentBox>("Ecom"), "fill");
  dialogs.Answers = {true};
  Item("End1")->trigger();
  EXPECT_EQ(dialogs.Questions().back(), kQuitUnsavedQuestion);
  EXPECT_FALSE(w.isVisible());
}

TEST_F(MainWindowTest, CloseQueryCountsASongPartNameStillBeingTyped) {
  TFmain& w = Window();
  w.NewDocument();
  Enter(Find<QComboBox>("cbSong"));
  QTest::keyClicks(Find<QComboBox>("cbSong"), "Outro");
  dialogs.Answers = {false};
  EXPECT_FALSE(w.close());
  EXPECT_EQ(dialogs.Questions(), std::vector<QString>{kQuitUnsavedQuestion});
  ASSERT_EQ(w.Document()->SongParts.size(), 1u);
  EXPECT_EQ(w.Document()->SongParts[0].Name, "Outro");
}

// Help is the program's own window: it works where no web browser is installed (the desktop's URL
// opener is never asked), from the menu and from F1.
TEST_F(MainWindowTest, HelpShowsHelpHtmlBesideTheProgramInItsOwnWindow) {
  TFmain& w = Window();
  std::vector<QUrl> opened;
  w.UrlOpener = [&](const QUrl& url) { opened.push_back(url); };  // a desktop without a browser
  const QString previous = QDir::currentPath();
  QDir::setCurrent(folder.path());  // the current folder plays no part
  Item("Help1")->trigger();
  QDir::setCurrent(previous);
  auto* help = w.findChild<QWidget*>("HelpWindow");
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  auto* browser = help->findChild<QTextBrowser*>("HelpBrowser");
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(browser->source(),
            QUrl::fromLocalFile(QDir(QCoreApplication::applicationDirPath()).absoluteFilePath("help.html")));
  EXPECT_TRUE(browser->toPlainText().contains("Getting started"));
  EXPECT_TRUE(opened.empty());
  EXPECT_TRUE(dialogs.Messages().empty());

  // A link to the web goes to the desktop; the window stays on the help.
  emit browser->anchorClicked(QUrl("https://example.org/"));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], QUrl("https://example.org/"));
  EXPECT_TRUE(browser->source().isLocalFile());

  help->close();
  w.activateWindow();
  ASSERT_TRUE(WaitUntil([&] { return w.isActiveWindow(); }));
  Press(Qt::Key_F1);
  EXPECT_TRUE(help->isVisible()) << "F1";
}

TEST_F(MainWindowTest, CreditsShowTheAboutBoxWithLinksAndThisBuildsPlatform) {
  TFmain& w = Window();
  TFAbout about(&w);
  w.SetAboutBox(&about);
  Item("Credits1")->trigger();
  EXPECT_TRUE(about.isVisible());
  EXPECT_TRUE(about.isModal());
  EXPECT_EQ(about.ProductName->text(), "Grooveloom");
  EXPECT_EQ(about.Version->text(), "1.0");
  EXPECT_EQ(about.Comments->text(), "Linux with Qt 6.4 or later");
  EXPECT_TRUE(about.ContactLabel->text().contains("href=\"mailto:team@grooveloom.org\""));
  EXPECT_TRUE(about.WebLabel->text().contains("href=\"https://grooveloom.org/\""));
  EXPECT_TRUE(about.ContactLabel->openExternalLinks());
  about.findChild<QPushButton*>("OKButton")->click();
  EXPECT_FALSE(about.isVisible());
}

TEST_F(MainWindowTest, OptionsItemsOpenTheOptionsDialogAtTheirPage) {
  TFmain& w = Window();
  TFOpt options(&w);
  w.SetOptionsForm(&options);
  const std::pair<const char*, int> pages[] = {
      {"Keymap1", TFOpt::KeyMapPage}, {"Midi1", TFOpt::MidiPage}, {"Selectkit1", TFOpt::KitPage}};
  for (auto [item, page] : pages) {
    Item(item)->trigger();
    EXPECT_TRUE(options.isVisible()) << item;
    EXPECT_EQ(options.CurrentPage(), page) << item;
    options.close();
  }
  w.NewDocument();  // "Song info" needs a document
  Item("Songinfo1")->trigger();
  EXPECT_EQ(options.CurrentPage(), TFOpt::SongInfoPage);
}

TEST_F(MainWindowTest, TextExportAsksForAFileWithItsOwnDialog) {
  TFmain& w = Window();
  w.NewDocument();
  dialogs.SaveAnswers = {std::nullopt};
  Find<QToolButton>("SpeedButton7")->click();
  ASSERT_EQ(dialogs.Log().size(), 1u);
  EXPECT_EQ(dialogs.Log()[0].Title, "Export your drum tab to a text file");
}

TEST_F(MainWindowTest, MidiDemoFillsAndShowsTheDemoWindowWithTheSongTempo) {
  TFmain& w = Window();
  TDemo_Form demo(dialogs, &w);
  w.SetDemoForm(&demo);
  EXPECT_FALSE(Item("MidiDemo1")->isEnabled()) << "no song yet";
  w.NewDocument();
  TypeAndLeave(Find<TempoBox>("ETempo"), "90");
  Item("MidiDemo1")->trigger();
  EXPECT_TRUE(demo.isVisible());
  EXPECT_GT(demo.Container().Count(), 0);
  EXPECT_EQ(demo.Container().Beats_Per_Minute(), 90);
  demo.close();
}

TEST_F(MainWindowTest, ChoosingAnotherDeviceOpensItAndTheLastEntryMeansTheMapper) {
  TFmain& w = Window();
  EXPECT_TRUE(w.ComboBox2Change(2));
  EXPECT_EQ(Window().Settings().MidiDeviceIndex, -1);
  EXPECT_EQ(midi.Opened.back(), -1);
  EXPECT_EQ(Find<QComboBox>("ComboBox2")->currentIndex(), 2);

  midi.OpenSucceeds = false;
  EXPECT_FALSE(w.ComboBox2Change(1));
  EXPECT_EQ(Window().Settings().MidiDeviceIndex, 1) << "keeps the id that failed";
  EXPECT_EQ(dialogs.Messages(), std::vector<QString>{"Error on opening Midi Device"});
}

// The captions keep their places, but none runs into its neighbour or touches its box: each
// one's text fits its width with two pixels to spare, in whatever font the desktop gives.
TEST_F(MainWindowTest, CaptionsFitTheirPlaces) {
  TFmain& w = Window();
  int checked = 0;
  for (QWidget* caption : w.centralWidget()->findChildren<QWidget*>()) {
    QString text;
    int needed = 0;
    if (auto* box = qobject_cast<QCheckBox*>(caption)) {
      text = box->text();
      needed = box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box) +
               box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box) +
               QFontMetrics(box->font()).horizontalAdvance(text);
    } else if (auto* label = qobject_cast<QLabel*>(caption)) {
      text = label->text();
      needed = QFontMetrics(label->font()).horizontalAdvance(text);
    } else {
      continue;
    }
    if (text.isEmpty() || caption == Find<QLabel>("LTime")) continue;
    ++checked;
    EXPECT_LE(needed, caption->width() - 2) << text.toStdString();
    EXPECT_GE(caption->font().pointSizeF(), 5.0) << text.toStdString();
  }
  EXPECT_EQ(checked, 12);  // with the expression box's "Sticking"
  EXPECT_EQ(Find<QCheckBox>("chAccent")->geometry(), QRect(203, 46, 70, 18));
  // Only captions that needed it are narrowed.
  for (QLabel* label : w.centralWidget()->findChildren<QLabel*>()) {
    if (label == Find<QLabel>("LTime")) continue;
    if (QFontMetrics(w.font()).horizontalAdvance(label->text()) <= label->width() - 2) {
      EXPECT_EQ(label->font().pointSizeF(), w.font().pointSizeF()) << label->text().toStdString();
    }
  }
}

// "MID", "TXT", "HTM": the whole text inside the 16 x 16 icon, at 1x and 2x, no ink on the edge
// (where a clipped glyph would end).
TEST_F(MainWindowTest, ExportButtonGlyphsFitTheirIconsAtEachPixelRatio) {
  Window();
  for (const char* name : {"SpeedButton6", "SpeedButton7", "SpeedButton8"}) {
    QToolButton* button = Find<QToolButton>(name);
    for (const qreal ratio : {1.0, 2.0}) {
      const QImage image = button->icon().pixmap(QSize(16, 16), ratio).toImage();
      const int side = static_cast<int>(16 * ratio);
      ASSERT_EQ(image.size(), QSize(side, side)) << "drawn for the ratio, not scaled";
      int inkLeft = side, inkRight = -1;
      for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
          if (qAlpha(image.pixel(x, y)) == 0) continue;
          const bool onEdge = x == 0 || y == 0 || x == side - 1 || y == side - 1;
          EXPECT_FALSE(onEdge) << button->objectName().toStdString() << " at " << ratio << "x";
          inkLeft = std::min(inkLeft, x);
          inkRight = std::max(inkRight, x);
        }
      EXPECT_GT(inkRight - inkLeft, side / 2) << "three letters span the icon";
    }
  }
}

// The built-in synthesizer loads its soundfont in the background: a font that fails there is shown
// in a box when it fails, however late, and the report cannot outlive the window.
TEST_F(MainWindowTest, SoundFontThatFailsToLoadInTheBackgroundIsShownInABox) {
  class BackgroundFailureLayer : public WindowTestMidiLayer {
   public:
    std::function<void(const std::string&)> Report;
    void SetLoadFailureHandler(std::function<void(const std::string&)> handler) override { Report = std::move(handler); }
  } layer;
  SetMidiDeviceLayer(&layer);
  Window();
  ASSERT_TRUE(layer.Report);
  const std::string message = "Cannot load the soundfont /fonts/gm.sf2: SoundFont file size mismatch";
  std::thread loader([&] { layer.Report(message); });
  loader.join();
  ASSERT_TRUE(WaitUntil([&] { return !dialogs.Messages().empty(); }));
  EXPECT_EQ(dialogs.Messages(), std::vector<QString>{QString::fromStdString(message)});
  window.reset();
  EXPECT_FALSE(layer.Report);
  SetMidiDeviceLayer(&midi);
}

// On a dark desktop the drawn glyphs, the media buttons, the bar arrows and the clock must still
// stand out: each button, painted, has ink of contrast 3 or more against the window.
TEST_F(MainWindowTest, GlyphButtonsAndTheClockStayReadableOnADarkPalette) {
  EXPECT_NEAR(ContrastRatio(Qt::black, Qt::white), 21.0, 0.01);
  TFmain& w = Window();
  QPalette dark;
  const QColor window(0x35, 0x35, 0x35);
  for (auto role : {QPalette::Window, QPalette::Button}) dark.setColor(role, window);
  for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
    dark.setColor(role, QColor(0xee, 0xee, 0xee));
  dark.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
  w.setPalette(dark);
  w.NewDocument();
  Press(Qt::Key_C, Qt::ControlModifier);  // Paste enabled: no button is greyed out
  auto strongest = [&](QWidget* widget) {
    const QImage image = widget->grab().toImage();
    double best = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        best = std::max(best, ContrastRatio(image.pixelColor(x, y), window));
    return best;
  };
  for (const char* name : {"BCopy", "BCut", "Bpaste", "SpeedButton6", "SpeedButton7", "SpeedButton8",
                           "SpeedButton11", "SpeedButton10", "SpeedButton9", "BPLay", "BPLaySong",
                           "BPLayBar", "BStop", "SpeedButton30", "SpeedButton29"}) {
    auto* button = Find<QToolButton>(name);
    ASSERT_TRUE(button->isEnabled()) << name;
    EXPECT_GE(strongest(button), 3.0) << name;
  }
  // The clock's edge stands out from the window, its digits from its own black.
  const QImage clock = Find<QLabel>("LTime")->grab().toImage();
  EXPECT_GE(ContrastRatio(clock.pixelColor(0, clock.height() / 2), window), 3.0);
  double digits = 0;
  for (int x = 2; x < clock.width() - 2; ++x)
    digits = std::max(digits, ContrastRatio(clock.pixelColor(x, clock.height() / 2), Qt::black));
  EXPECT_GE(digits, 3.0);

  // Back on a light palette the glyphs take their own colours again: TXT is black.
  w.setPalette(QPalette(QColor(0xef, 0xef, 0xef)));
  const QImage txt = Find<QToolButton>("SpeedButton7")->icon().pixmap(16, 16).toImage();
  int darkInk = 0;
  for (int y = 0; y < txt.height(); ++y)
    for (int x = 0; x < txt.width(); ++x)
      darkInk += txt.pixelColor(x, y).alpha() > 128 && txt.pixelColor(x, y).lightness() < 16;
  EXPECT_GT(darkInk, 0);
}
