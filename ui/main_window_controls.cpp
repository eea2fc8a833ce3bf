// Building the main window's controls and menus at fixed positions, panel by panel.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <utility>

#include "ui/cp1252.h"
#include "ui/main_window.h"
#include "ui/main_window_widgets.h"
#include "ui/tab_view.h"

namespace {

QFrame* MakePanel(QWidget* parent, const char* name, int x, int y, int w, int h) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(name);
  panel->setGeometry(x, y, w, h);
  panel->setFrameShape(QFrame::NoFrame);
  return panel;
}

QComboBox* MakeList(QWidget* parent, const char* name, const QStringList& items, int x, int y, int w) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->addItems(items);
  box->setGeometry(x, y, w, 21);
  return box;
}

QAction* MakeItem(QMenu* menu, const char* name, const QString& text,
                  const QKeySequence& shortcut = QKeySequence()) {
  QAction* action = menu->addAction(text);
  action->setObjectName(name);
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  return action;
}

QMenu* MakeMenu(QWidget* parent, const char* name, const QString& title) {
  auto* menu = new QMenu(title, parent);
  menu->setObjectName(name);
  menu->menuAction()->setObjectName(QString(name) + "Menu");
  return menu;
}

QToolButton* MakeSpeedButton(QWidget* parent, const char* name, const QString& hint, int x, int y,
                             int w, int h) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setToolTip(hint);
  button->setAutoRaise(true);  // flat
  button->setGeometry(x, y, w, h);
  button->setFocusPolicy(Qt::NoFocus);  // a tool button never takes the focus from the tab
  button->setIconSize(QSize(16, 16));
  return button;
}

// The button shows the command's action from now on: its icon and hint move to the action (the
// menus keep showing text only), and enabling the action enables the button.
void ShareAction(QToolButton* button, QAction* action) {
  action->setIcon(button->icon());
  action->setIconVisibleInMenu(false);
  action->setToolTip(button->toolTip());
  button->setDefaultAction(action);
}

QLabel* MakeLabel(QWidget* parent, const QString& text, int x, int y, int w, int h) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(x, y, w, h);
  FitCaption(label);
  return label;
}

}  // namespace

void TFmain::BuildControls(QWidget* client) {
  BuildFileButtons(client);
  BuildEditButtons(client);
  BuildTimingPanel(client);
  BuildBarNumberPanel(client);
  BuildBarButtons(client);
  BuildCommentPanel(client);
  BuildSongPartPanel(client);
  BuildTabView(client);
  BuildInstrumentPanel(client);
  BuildExpressionPanel();
  BuildFeelPanel();

  // The device list is kept in a box that is never shown; Options > Midi shows the choice.
  ComboBox2 = new QComboBox(client);
  ComboBox2->setObjectName("ComboBox2");
  ComboBox2->setGeometry(519, 105, 170, 21);
  ComboBox2->hide();
}

// File buttons.
void TFmain::BuildFileButtons(QWidget* client) {
  QStyle* st = style();
  Panel1 = MakePanel(client, "Panel1", 0, 0, 75, 25);
  SpeedButton2 = MakeSpeedButton(Panel1, "SpeedButton2", "New", 0, 0, 25, 25);
  SpeedButton2->setIcon(st->standardIcon(QStyle::SP_FileIcon));
  SpeedButton1 = MakeSpeedButton(Panel1, "SpeedButton1", "Open", 25, 0, 25, 25);
  SpeedButton1->setIcon(st->standardIcon(QStyle::SP_DialogOpenButton));
  BSave = MakeSpeedButton(Panel1, "BSave", "Save", 50, 0, 25, 25);
  BSave->setIcon(st->standardIcon(QStyle::SP_DialogSaveButton));
}

// Undo, clipboard and export buttons.
void TFmain::BuildEditButtons(QWidget* client) {
  QStyle* st = style();
  Panel2 = MakePanel(client, "Panel2", 75, 0, 202, 25);
  BUndo = MakeSpeedButton(Panel2, "BUndo", "Undo", 1, 0, 25, 25);
  BUndo->setIcon(st->standardIcon(QStyle::SP_ArrowBack));
  BRedo = MakeSpeedButton(Panel2, "BRedo", "Redo", 26, 0, 25, 25);
  BRedo->setIcon(st->standardIcon(QStyle::SP_ArrowForward));
  BCopy = MakeSpeedButton(Panel2, "BCopy", "Copy", 51, 0, 25, 25);
  BCut = MakeSpeedButton(Panel2, "BCut", "Cut", 76, 0, 25, 25);
  Bpaste = MakeSpeedButton(Panel2, "Bpaste", "Paste", 101, 0, 25, 25);
  SpeedButton6 = MakeSpeedButton(Panel2, "SpeedButton6", "Export to MIDI...", 126, 0, 25, 25);
  SpeedButton7 = MakeSpeedButton(Panel2, "SpeedButton7", "Export to TXT...", 151, 0, 25, 25);
  SpeedButton8 = MakeSpeedButton(Panel2, "SpeedButton8", "Export to HTML...", 176, 0, 25, 25);
}

// Timing.
void TFmain::BuildTimingPanel(QWidget* client) {
  Panel5 = MakePanel(client, "Panel5", 276, 0, 149, 25);
  MakeLabel(Panel5, "Timing", 2, 6, 38, 13);
  QStringList numerators;
  for (int i = 1; i <= 16; ++i) numerators << QString::number(i);
  ETakt1 = MakeList(Panel5, "ETakt1", numerators, 41, 2, 44);
  ETakt1->setMaxVisibleItems(16);
  MakeLabel(Panel5, "/", 88, 6, 6, 13);
  Etakt2 = MakeList(Panel5, "Etakt2", {"4", "8", "16"}, 96, 2, 50);
}

// The grid of the current bar and the song's swing. The rows of controls in the client area are
// full at the window's first size, so these have a strip of their own above them, placed over the
// boxes they belong with: the grid over the timing, the swing over the song's tempo.
void TFmain::BuildFeelPanel() {
  FeelBar = new QToolBar(this);
  FeelBar->setObjectName("FeelBar");
  FeelBar->setMovable(false);
  FeelBar->setFloatable(false);
  FeelBar->setContextMenuPolicy(Qt::PreventContextMenu);  // it cannot be hidden
  FeelBar->toggleViewAction()->setVisible(false);
  FeelBar->setContentsMargins(0, 0, 0, 0);
  FeelBar->layout()->setContentsMargins(0, 0, 0, 0);
  FeelBar->layout()->setSpacing(0);
  Panel9 = new QFrame;
  Panel9->setObjectName("Panel9");
  Panel9->setFrameShape(QFrame::NoFrame);
  // As wide as the window gives it, never so narrow that the toolbar folds the boxes away.
  Panel9->setFixedHeight(25);
  Panel9->setMinimumWidth(716);
  Panel9->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  MakeLabel(Panel9, "Grid", 278, 6, 28, 13);
  QStringList grids;
  for (int g = 0; g < kGridCount; ++g) grids << QString::fromLatin1(GridName(static_cast<BarGrid>(g)));
  GridBox = MakeList(Panel9, "GridBox", grids, 317, 2, 105);
  GridBox->setToolTip("The grid of the current bar's cells");
  MakeLabel(Panel9, "Swing", 560, 6, 36, 13);
  SwingBox = new QSpinBox(Panel9);
  SwingBox->setObjectName("SwingBox");
  SwingBox->setGeometry(600, 2, 52, 21);
  SwingBox->setRange(0, kMaxSwingPercent);
  SwingBox->setSuffix("%");
  // One edit per value the user settles on: typed digits count when the box is left.
  SwingBox->setKeyboardTracking(false);
  SwingBox->setToolTip("Swing: 0 straight, 33 the triplet feel, 50 dotted");
  SwingUnitBox = MakeList(Panel9, "SwingUnitBox", {"8ths", "16ths"}, 654, 2, 60);
  SwingUnitBox->setToolTip("The notes that swing");
  FeelBar->addWidget(Panel9);
  addToolBar(Qt::TopToolBarArea, FeelBar);
}

// Bar number, pace, song tempo.
void TFmain::BuildBarNumberPanel(QWidget* client) {
  Panel4 = MakePanel(client, "Panel4", 425, 0, 265, 25);
  MakeLabel(Panel4, "Bar", 4, 6, 18, 13);
  EAbar = new QSpinBox(Panel4);
  EAbar->setObjectName("EAbar");
  EAbar->setGeometry(24, 2, 50, 21);
  // A song has up to 65535 bars, numbered from 0.
  EAbar->setRange(0, kMaxBarCount - 1);
  EAbar->setReadOnly(true);
  EAbar->setButtonSymbols(QAbstractSpinBox::NoButtons);
  EAbar->setEnabled(false);
  MakeLabel(Panel4, "Pace", 78, 6, 26, 13);
  RPace = MakeList(Panel4, "RPace", {"1/16", "1/8", "1/4", "1/2"}, 106, 2, 54);
  MakeLabel(Panel4, "Tempo", 164, 6, 38, 13);
  ETempo = new TempoBox(Panel4);
  ETempo->setObjectName("ETempo");
  ETempo->setGeometry(203, 2, 60, 21);
  ETempo->setRange(1, kMaxTempo);
  ETempo->setValue(120);
}

// Bar buttons.
void TFmain::BuildBarButtons(QWidget* client) {
  Panel3 = MakePanel(client, "Panel3", 690, 0, 111, 25);
  MakeLabel(Panel3, "Bar:", 4, 6, 24, 13);
  SpeedButton11 = MakeSpeedButton(Panel3, "SpeedButton11", "Clear bar", 30, 0, 25, 25);
  SpeedButton10 = MakeSpeedButton(Panel3, "SpeedButton10", "Insert bar", 55, 0, 25, 25);
  SpeedButton9 = MakeSpeedButton(Panel3, "SpeedButton9", "Remove bar", 80, 0, 25, 25);
}

// Comment.
void TFmain::BuildCommentPanel(QWidget* client) {
  Panel6 = MakePanel(client, "Panel6", 0, 25, 552, 25);
  MakeLabel(Panel6, "Comment", 2, 6, 54, 13);
  Ecom = new CommentBox(Panel6);
  Ecom->setObjectName("Ecom");
  Ecom->setGeometry(56, 1, 417, 23);
  QFont commentFont("Times New Roman");
  // Not on Linux: let the font matcher take the nearest serif face.
  commentFont.setFamilies({"Times New Roman", "Liberation Serif", "DejaVu Serif"});
  commentFont.setStyleHint(QFont::Serif);
  commentFont.setPointSize(12);
  Ecom->setFont(commentFont);
  SpeedButton12 = MakeSpeedButton(Panel6, "SpeedButton12", QString(), 478, 1, 60, 23);
  SpeedButton12->setText("Clear");
  SpeedButton12->setToolButtonStyle(Qt::ToolButtonTextOnly);
}

// Song part.
void TFmain::BuildSongPartPanel(QWidget* client) {
  Panel8 = MakePanel(client, "Panel8", 552, 25, 249, 25);
  MakeLabel(Panel8, "Song Part", 4, 6, 60, 13);
  cbSong = new QComboBox(Panel8);
  cbSong->setObjectName("cbSong");
  cbSong->setEditable(true);
  cbSong->setCompleter(nullptr);
  cbSong->setInsertPolicy(QComboBox::NoInsert);
  cbSong->setValidator(new Cp1252Validator(cbSong));
  cbSong->setGeometry(68, 1, 177, 23);
  cbSong->setProperty("Tag", 0);
}

// The tab view and its scroll bar.
void TFmain::BuildTabView(QWidget* client) {
  i1 = new TabView(client);
  i1->setObjectName("i1");
  i1->setGeometry(-8, 48, view::kWidth, view::kHeight);
  i1->setContextMenuPolicy(Qt::CustomContextMenu);
  ScrollBar1 = new QScrollBar(Qt::Vertical, client);
  ScrollBar1->setObjectName("ScrollBar1");
  ScrollBar1->setGeometry(788, 50, 12, 367);
  ScrollBar1->setRange(1, 100);
  ScrollBar1->setPageStep(4);
  ScrollBar1->setSingleStep(1);
  ScrollBar1->setFocusPolicy(Qt::NoFocus);
}

// Instruments and playback.
void TFmain::BuildInstrumentPanel(QWidget* client) {
  Panel7 = MakePanel(client, "Panel7", 1, 419, 416, 92);
  struct Instrument {
    const char* Name;
    const char* Caption;
    int Tag;
  };
  auto addButtons = [this](QWidget* box, std::initializer_list<Instrument> list, int x, int y,
                           int width) {
    for (const Instrument& ins : list) {
      QToolButton* b = MakeSpeedButton(box, ins.Name, QString(), x, y, width, 22);
      b->setText(ins.Caption);
      b->setToolButtonStyle(Qt::ToolButtonTextOnly);
      b->setProperty("Tag", ins.Tag);
      InstrumentButtons.push_back(b);
      x += width + 1;
    }
  };
  auto group = [this](const char* name, const QString& title, int x, int y, int w, int h) {
    auto* box = new QGroupBox(title, Panel7);
    box->setObjectName(name);
    box->setGeometry(x, y, w, h);
    return box;
  };
  QGroupBox* cymbals = group("GroupBox1", "Cymbals", 2, 0, 148, 42);
  addButtons(cymbals, {{"SpeedButton3", "Crash", 10}, {"SpeedButton4", "Splash", 11},
                       {"SpeedButton5", "China", 12}}, 3, 16, 46);
  QGroupBox* hihat = group("GroupBox2", "Hi-Hat", 152, 0, 100, 42);
  addButtons(hihat, {{"SpeedButton13", "Closed", 30}, {"SpeedButton14", "Open", 31}}, 3, 16, 46);
  QGroupBox* snare = group("GroupBox3", "Snare", 254, 0, 108, 42);
  addButtons(snare, {{"SpeedButton15", "Normal", 70}, {"SpeedButton16", "Rim click", 71}}, 3, 16, 50);
  addButtons(Panel7, {{"SpeedButton17", "Ride", 20}}, 365, 16, 48);
  QGroupBox* toms = group("GroupBox4", "Toms", 2, 44, 148, 46);
  addButtons(toms, {{"SpeedButton18", "Tom #1", 40}, {"SpeedButton19", "Tom #2", 50},
                    {"SpeedButton20", "Floor", 60}}, 3, 18, 46);
  addButtons(Panel7, {{"SpeedButton21", "Bass", 80}}, 153, 62, 46);

  chAccent = new QCheckBox("Accented", Panel7);
  chAccent->setObjectName("chAccent");
  chAccent->setGeometry(203, 46, 70, 18);
  chLoop = new QCheckBox("Loop", Panel7);
  chLoop->setObjectName("chLoop");
  chLoop->setGeometry(203, 69, 50, 18);
  FitCaption(chAccent);
  FitCaption(chLoop);
  MakeLabel(Panel7, "Tempo", 274, 49, 38, 13);
  ESped = new TempoBox(Panel7);
  ESped->setObjectName("ESped");
  ESped->setGeometry(312, 45, 50, 20);
  ESped->setRange(1, kMaxTempo);
  ESped->setValue(120);
  LTime = new QLabel("15:15", Panel7);
  LTime->setObjectName("LTime");
  LTime->setGeometry(364, 45, 50, 20);
  LTime->setAlignment(Qt::AlignCenter);
  LTime->setAutoFillBackground(true);
  QPalette timePalette = LTime->palette();
  timePalette.setColor(QPalette::Window, Qt::black);
  timePalette.setColor(QPalette::WindowText, QColor(0, 255, 0));  // lime
  LTime->setPalette(timePalette);
  QFont timeFont;
  timeFont.setFamilies({"Bookman Old Style", "URW Bookman", "DejaVu Serif"});
  timeFont.setStyleHint(QFont::Serif);
  timeFont.setPointSize(9);
  timeFont.setBold(true);
  LTime->setFont(timeFont);

  SpeedButton30 = MakeSpeedButton(Panel7, "SpeedButton30", "Previous bar", 256, 67, 26, 23);
  BPLay = MakeSpeedButton(Panel7, "BPLay", "Play", 283, 67, 24, 23);
  BPLaySong = MakeSpeedButton(Panel7, "BPLaySong", "Play song", 308, 67, 24, 23);
  BPLayBar = MakeSpeedButton(Panel7, "BPLayBar", "Play bar", 333, 67, 24, 23);
  BStop = MakeSpeedButton(Panel7, "BStop", "Stop", 358, 67, 24, 23);
  SpeedButton29 = MakeSpeedButton(Panel7, "SpeedButton29", "Next bar", 383, 67, 26, 23);
  for (QToolButton* b : {SpeedButton30, SpeedButton29}) {
    b->setText(b == SpeedButton30 ? "<<" : ">>");
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QFont f = b->font();
    f.setBold(true);
    b->setFont(f);
  }
}

namespace {

void SetButtonIcon(QToolButton* button, const QIcon& icon) {
  if (QAction* action = button->defaultAction())
    action->setIcon(icon);
  else
    button->setIcon(icon);
}

}  // namespace

void TFmain::ColourGlyphs() {
  // The glyphs' own colours on the light desktops they were drawn for; on a dark one, lighter
  // shades of them, so they stay readable.
  const QColor window = palette().color(QPalette::Window);
  const struct {
    QToolButton* Button;
    const char* Text;
    QColor Colour;
  } glyphs[] = {{BCopy, "C", Qt::darkBlue},        {BCut, "X", Qt::darkRed},
                {Bpaste, "P", Qt::darkGreen},      {SpeedButton6, "MID", Qt::darkMagenta},
                {SpeedButton7, "TXT", Qt::black},  {SpeedButton8, "HTM", Qt::darkCyan},
                {SpeedButton11, "C", Qt::black},   {SpeedButton10, "+", Qt::darkGreen},
                {SpeedButton9, "-", Qt::darkRed}};
  for (const auto& glyph : glyphs)
    SetButtonIcon(glyph.Button, GlyphIcon(glyph.Text, ReadableOn(glyph.Colour, window)));

  const std::pair<QToolButton*, QStyle::StandardPixmap> media[] = {
      {BPLay, QStyle::SP_MediaPlay}, {BPLaySong, QStyle::SP_MediaSeekForward},
      {BPLayBar, QStyle::SP_MediaSkipForward}, {BStop, QStyle::SP_MediaStop}};
  const QColor ink = palette().color(QPalette::ButtonText);
  for (const auto& [button, pixmap] : media)
    SetButtonIcon(button, ReadableIcon(style()->standardIcon(pixmap), window, ink));

  for (QToolButton* b : {SpeedButton30, SpeedButton29}) {
    QPalette p = b->palette();
    const QColor blue = ReadableOn(Qt::blue, window);
    p.setColor(QPalette::Active, QPalette::ButtonText, blue);
    p.setColor(QPalette::Inactive, QPalette::ButtonText, blue);
    b->setPalette(p);
  }
  // The clock keeps its lime on black; where black does not stand out from the window, a frame in
  // its lime marks its place.
  LTime->setFrameStyle(ContrastRatio(Qt::black, window) < 3.0 ? QFrame::Box | QFrame::Plain
                                                              : QFrame::NoFrame);
}

void TFmain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::PaletteChange && EPaste) ColourGlyphs();
}

void TFmain::BuildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu1");

  File1 = MakeMenu(this, "File1", "&File");
  New1 = MakeItem(File1, "New1", "&New", QKeySequence(Qt::CTRL | Qt::Key_N));
  Open2 = MakeItem(File1, "Open2", "&Open", QKeySequence(Qt::CTRL | Qt::Key_O));
  File_3 = MakeItem(File1, "File_3", "&Save", QKeySequence(Qt::CTRL | Qt::Key_S));
  File_4 = MakeItem(File1, "File_4", "Save &As...");
  Export1 = MakeMenu(this, "Export1", "&Export");
  TextFile1 = MakeItem(Export1, "TextFile1", "&Text File");
  HTMLFille1 = MakeItem(Export1, "HTMLFille1", "&HTML File");
  MIDIFile1 = MakeItem(Export1, "MIDIFile1", "&MIDI File");
  PDFFile1 = MakeItem(Export1, "PDFFile1", "&PDF File");
  MusicXMLFile1 = MakeItem(Export1, "MusicXMLFile1", "Music&XML File");
  AudioFile1 = MakeItem(Export1, "AudioFile1", "&Audio File");
  QAction* normalize = MakeItem(Export1, "NormalizeAudio1", "&Normalize Audio Files");
  normalize->setCheckable(true);
  normalize->setChecked(true);
  File1->addMenu(Export1);
  Print1 = MakeItem(File1, "Print1", "&Print...", QKeySequence(Qt::CTRL | Qt::Key_P));
  File1->addSeparator();
  End1 = MakeItem(File1, "End1", "E&xit", QKeySequence(Qt::ALT | Qt::Key_X));
  bar->addMenu(File1);

  Edit = MakeMenu(this, "Edit", "&Edit");
  EUndo = MakeItem(Edit, "EUndo", "U&ndo", QKeySequence(Qt::CTRL | Qt::Key_Z));
  ERedo = MakeItem(Edit, "ERedo", "&Redo", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  ERedo->setShortcuts({ERedo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  Edit->addSeparator();
  ECopy = MakeItem(Edit, "ECopy", "&Copy", QKeySequence(Qt::CTRL | Qt::Key_C));
  ECut = MakeItem(Edit, "ECut", "C&ut", QKeySequence(Qt::CTRL | Qt::Key_X));
  EPaste = MakeItem(Edit, "EPaste", "&Paste", QKeySequence(Qt::CTRL | Qt::Key_V));
  bar->addMenu(Edit);

  Bar1 = MakeMenu(this, "Bar1", "&Bar");
  Clear1 = MakeItem(Bar1, "Clear1", "&Clear", QKeySequence(Qt::CTRL | Qt::Key_Delete));
  Insert1 = MakeItem(Bar1, "Insert1", "&Insert", QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Plus));
  Remove1 = MakeItem(Bar1, "Remove1", "&Remove", QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Minus));
  bar->addMenu(Bar1);

  Options1 = MakeMenu(this, "Options1", "&Options");
  Selectkit1 = MakeItem(Options1, "Selectkit1", "&Select kit");
  Midi1 = MakeItem(Options1, "Midi1", "&Midi...");
  Keymap1 = MakeItem(Options1, "Keymap1", "&Key map");
  Songinfo1 = MakeItem(Options1, "Songinfo1", "Song &info");
  bar->addMenu(Options1);

  Playback = MakeMenu(this, "Playback", "&Playback");
  // The keys are the window's own (a key-map entry on Space wins), so they are shown, not bound.
  Play1 = MakeItem(Playback, "Play1", "&Play\tSpace");
  PLaybar1 = MakeItem(Playback, "PLaybar1", "Play &bar\tShift+Space");
  Playsong1 = MakeItem(Playback, "Playsong1", "Play &song\tCtrl+Space");
  Stop1 = MakeItem(Playback, "Stop1", "S&top\tSpace, Esc");
  bar->addMenu(Playback);

  Tools1 = MakeMenu(this, "Tools1", "&Tools");
  MidiDemo1 = MakeItem(Tools1, "MidiDemo1", "MIDI &Demo...");
  bar->addMenu(Tools1);

  About1 = MakeMenu(this, "About1", "&About...");
  Help1 = MakeItem(About1, "Help1", "&Help", QKeySequence(Qt::Key_F1));
  Credits1 = MakeItem(About1, "Credits1", "&Credits");
  bar->addMenu(About1);

  // The tab view's context menu.
  PopupMenu1 = MakeMenu(this, "PopupMenu1", QString());
  EUndo1 = MakeItem(PopupMenu1, "EUndo1", "U&ndo");
  ERedo1 = MakeItem(PopupMenu1, "ERedo1", "R&edo");
  PopupMenu1->addSeparator();
  Addbar1 = MakeItem(PopupMenu1, "Addbar1", "&Add bar");
  Removebar1 = MakeItem(PopupMenu1, "Removebar1", "&Remove bar");
  Clearbar1 = MakeItem(PopupMenu1, "Clearbar1", "C&lear bar");
  PopupMenu1->addSeparator();
  Copybar1 = MakeItem(PopupMenu1, "Copybar1", "&Copy bar");
  Cutbar1 = MakeItem(PopupMenu1, "Cutbar1", "C&ut bar");
  Pastebar1 = MakeItem(PopupMenu1, "Pastebar1", "&Paste bar");
  BuildImportItems();

  const std::pair<QToolButton*, QAction*> shared[] = {
      {SpeedButton2, New1},   {SpeedButton1, Open2},       {BSave, File_3},
      {BUndo, EUndo},         {BRedo, ERedo},              {BCopy, ECopy},
      {BCut, ECut},           {Bpaste, EPaste},            {SpeedButton6, MIDIFile1},
      {SpeedButton7, TextFile1}, {SpeedButton8, HTMLFille1}, {SpeedButton11, Clear1},
      {SpeedButton10, Insert1}, {SpeedButton9, Remove1}, {BPLay, Play1},
      {BPLayBar, PLaybar1},     {BPLaySong, Playsong1},    {BStop, Stop1}};
  for (const auto& [button, action] : shared) ShareAction(button, action);
  ColourGlyphs();
}
