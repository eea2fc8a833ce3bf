// The real main window, shown offscreen and active, with scripted dialogs and a recording MIDI
// device layer; helpers to type into its boxes and leave them as a user would.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "files/tab_file.h"
#include "midi/midi_output.h"
#include "model/undo_history.h"
#include "tests/ui/scripted_dialogs.h"
#include "tests/ui/wait.h"
#include "ui/main_window.h"
#include "ui/main_window_widgets.h"
#include "ui/tab_view.h"
#include "layout/view_layout.h"

// The height of one line of the view for the rows `doc` shows.
inline int LineHeightOf(const Osnova& doc) { return view::LineHeight(ShownInstrumentRows(doc)); }

class WindowTestMidiLayer : public MidiDeviceLayer {
 public:
  std::vector<std::string> Names{"Synth A", "Port B"};
  bool OpenSucceeds = true;
  std::vector<int> Opened;
  std::vector<uint32_t> Sent;  // every message that reached the open device
  int Count() override { return static_cast<int>(Names.size()); }
  bool Name(int id, std::string& name) override {
    if (id < 0 || id >= Count()) return false;
    name = Names[static_cast<std::size_t>(id)];
    return true;
  }
  bool Open(int id) override {
    Opened.push_back(id);
    return OpenSucceeds;
  }
  void Send(uint32_t message) override { Sent.push_back(message); }
  void Close() override {}
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    SetMidiDeviceLayer(&midi);
  }
  void TearDown() override {
    TestWriteFaults().FailAfterBytes = -1;  // a failing disk is the test's, not the closing window's options file
    window.reset();
    dialogs.VerifyAllExpected();
    SetMidiDeviceLayer(nullptr);
  }

  // Creates the window, shown and active so that focus moves as it does for a user.
  TFmain& Window() {
    if (!window) {
      window = std::make_unique<TFmain>(dialogs);
      window->show();
      window->activateWindow();
      EXPECT_TRUE(WaitUntil([this] { return window->isActiveWindow(); }));
    }
    return *window;
  }

  template <class T = QWidget>
  T* Find(const char* name) {
    T* found = Window().findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QAction* Item(const char* name) { return Find<QAction>(name); }

  // Focus into a box, as by a click.
  void Enter(QWidget* box) {
    box->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
  }
  // Replaces a box's text by typing and leaves it with Enter.
  void TypeAndLeave(QWidget* box, const QString& text) {
    Enter(box);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Return);
  }

  // A key pressed where the keyboard focus is, as a user would.
  void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target ? target : &Window(), static_cast<Qt::Key>(key), modifiers);
  }

  // What a full repaint of the document from its first visible bar shows, with the cursor box:
  // the window's picture after any sequence of small redraws must equal it.
  QImage ExpectedPicture() {
    TabView reference;
    Osnova& doc = *Window().Document();
    reference.RepaintView(doc, doc.FirstVisibleBar);
    if (Window().Cursor()) reference.ToggleCursorBox(doc, *Window().Cursor());
    return reference.Image().copy();
  }

  // Note-on messages sent to the device (channel 10, status 0x99).
  std::vector<uint32_t> NoteOns() const {
    std::vector<uint32_t> on;
    for (uint32_t m : midi.Sent)
      if ((m & 0xFFu) == 0x99u) on.push_back(m);
    return on;
  }

  QString PathIn(const QString& name) const { return folder.filePath(name); }

  // A tab file written by the core, for Open.
  QString WriteTabFile(const QString& name, const Osnova& doc) {
    std::string error;
    const std::string bytes = WriteTabBytes(doc);
    EXPECT_TRUE(WriteFileAtomically(PathIn(name).toStdString(), bytes, error)) << error;
    return PathIn(name);
  }

  static QByteArray Contents(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
  }

  QTemporaryDir folder;
  WindowTestMidiLayer midi;
  ScriptedDialogService dialogs;
  std::unique_ptr<TFmain> window;
};
