// New, Open, Save and Save As through the window, failed opens and saves, and undo and redo.
#include <QFile>
#include <QScrollBar>
#include <filesystem>

#include "model/bar_commands.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/local_path.h"
#include "ui/tab_view.h"

namespace {

std::unique_ptr<Osnova> ReadBack(const QString& path) {
  std::string bytes, error;
  if (!ReadWholeFile(path.toStdString(), bytes, error)) return nullptr;
  return ReadTabBytes(bytes);
}

}  // namespace

TEST_F(MainWindowTest, FirstNewMakesTwelve44BarsAndLaterNewsTakeTheTimingBoxes) {
  TFmain& w = Window();
  Find<QComboBox>("RPace")->setCurrentIndex(1);  // "1/8"
  Item("New1")->trigger();
  ASSERT_NE(w.Document(), nullptr);
  EXPECT_EQ(w.Document()->BarCount, 12);
  EXPECT_EQ(w.Document()->Bar(11).Length, 16);
  EXPECT_EQ(w.windowTitle(), "Grooveloom 1.0 - [ Unnamed ]");
  ASSERT_TRUE(w.Cursor().has_value());
  EXPECT_EQ(w.Cursor()->Pace, 2);
  EXPECT_EQ(Find<QScrollBar>("ScrollBar1")->maximum(), 12);
  EXPECT_EQ(Find<QScrollBar>("ScrollBar1")->value(), 1);
  EXPECT_TRUE(w.View()->isEnabled());

  Find<QComboBox>("ETakt1")->setCurrentIndex(2);  // 3/4
  Find<QToolButton>("SpeedButton2")->click();
  EXPECT_EQ(w.Document()->BarCount, 12);
  EXPECT_EQ(w.Document()->Bar(0).Length, 12);
  EXPECT_EQ(w.Document()->Bar(11).Denominator, 4);
}

TEST_F(MainWindowTest, NewAfterABarTheTimingBoxesCannotShowMakes44Bars) {
  TFmain& w = Window();
  // Bar lengths a file may hold that no numerator of the boxes' list gives for the bar's
  // denominator (64/16 shows its numerator past the list, which New does not take).
  for (const auto& [length, denominator] : {std::pair{2, 4}, std::pair{64, 16}}) {
    Osnova song(4, 3, 4);
    song.EditBar(0).Length = static_cast<uint8_t>(length);
    song.EditBar(0).Denominator = static_cast<uint8_t>(denominator);
    dialogs.OpenAnswers = {WriteTabFile("odd.gvlm", song)};
    w.OpenDocument();
    ASSERT_EQ(w.Document()->Bar(0).Length, length);

    w.NewDocument();
    for (int b = 0; b < w.Document()->BarCount; ++b) {
      EXPECT_EQ(w.Document()->Bar(b).Length, 16) << length << "/" << denominator;
      EXPECT_EQ(w.Document()->Bar(b).Denominator, 4);
    }
    EXPECT_EQ(Find<QComboBox>("ETakt1")->currentText(), "4");
    EXPECT_EQ(Find<QComboBox>("Etakt2")->currentText(), "4");
  }
}

TEST_F(MainWindowTest, NewOrOpenOnAModifiedDocumentAnsweredNoChangesNothing) {
  TFmain& w = Window();
  w.NewDocument();
  TypeAndLeave(Find<TempoBox>("ETempo"), "99");
  Osnova* before = w.Document();
  const int steps = w.History().Current();

  dialogs.Answers = {false};
  w.NewDocument();
  dialogs.Answers = {false};
  dialogs.OpenAnswers = {PathIn("whatever.gvlm")};
  w.OpenDocument();

  EXPECT_EQ(dialogs.Questions(), std::vector<QString>(2, kOpenUnsavedQuestion));
  EXPECT_EQ(w.Document(), before);
  EXPECT_EQ(w.Document()->Tempo, 99);
  EXPECT_EQ(w.History().Current(), steps);
  EXPECT_TRUE(Find<QToolButton>("BUndo")->isEnabled());
  EXPECT_TRUE(dialogs.Drained());
}

TEST_F(MainWindowTest, CancelledDialogsChangeNothing) {
  TFmain& w = Window();
  w.NewDocument();
  Osnova* before = w.Document();
  dialogs.OpenAnswers = {std::nullopt};
  Find<QToolButton>("SpeedButton1")->click();
  dialogs.SaveAnswers = {std::nullopt, std::nullopt};
  Find<QToolButton>("BSave")->click();
  Item("File_4")->trigger();
  EXPECT_EQ(w.Document(), before);
  EXPECT_EQ(w.windowTitle(), "Grooveloom 1.0 - [ Unnamed ]");
  EXPECT_FALSE(w.Document()->HasFile);
  EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(MainWindowTest, FirstSaveAsksForANameAndLaterSavesWriteThereWithoutADialog) {
  TFmain& w = Window();
  w.NewDocument();
  const QString path = PathIn("song.gvlm");
  dialogs.SaveAnswers = {path};
  Item("File_3")->trigger();
  ASSERT_EQ(dialogs.Log().size(), 1u);
  const FileDialogSpec& request = dialogs.Log()[0].Request;
  EXPECT_EQ(request.Title, "Save your drum tab to file");
  EXPECT_EQ(request.Filter, "Grooveloom File (*.gvlm);;All Files (*)");
  EXPECT_EQ(request.DefaultSuffix, "gvlm");
  EXPECT_EQ(request.InitialFolder, ".");
  EXPECT_TRUE(request.ConfirmOverwrite);
  EXPECT_EQ(w.windowTitle(), "Grooveloom 1.0 - [ " + path + " ]");
  EXPECT_FALSE(w.Document()->Modified);
  EXPECT_TRUE(w.Document()->HasFile);

  TypeAndLeave(Find<TempoBox>("ETempo"), "133");
  Item("File_3")->trigger();
  EXPECT_EQ(dialogs.Count(ScriptedDialogService::Shown::Kind::SaveFile), 1) << "no second dialog";
  auto saved = ReadBack(path);
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(saved->Tempo, 133);
}

TEST_F(MainWindowTest, OpenThenSaveOverwritesTheOpenedFile) {
  Osnova doc(3, 5, 8);
  doc.Tempo = 88;
  doc.EditBar(2).Comment = "bridge";
  doc.SongParts.push_back({1, "Verse"});
  const QString path = WriteTabFile("in.gvlm", doc);
  TFmain& w = Window();
  dialogs.OpenAnswers = {path};
  Item("Open2")->trigger();
  ASSERT_NE(w.Document(), nullptr);
  EXPECT_EQ(w.windowTitle(), "Grooveloom 1.0 - [ " + path + " ]");
  EXPECT_EQ(w.Document()->BarCount, 5);
  EXPECT_EQ(Find<TempoBox>("ETempo")->value(), 88);
  EXPECT_EQ(Find<TempoBox>("ESped")->value(), 88);
  EXPECT_EQ(Find<QComboBox>("ETakt1")->currentText(), "3");
  EXPECT_EQ(Find<QComboBox>("Etakt2")->currentText(), "8");
  EXPECT_EQ(Find<QComboBox>("cbSong")->count(), 1);
  EXPECT_EQ(Find<QComboBox>("cbSong")->itemText(0), "Verse");
  EXPECT_EQ(Find<QScrollBar>("ScrollBar1")->maximum(), 5);
  EXPECT_EQ(w.SaveTarget(), path);
  EXPECT_EQ(dialogs.Log()[0].Request.Title, "Open a drum tab file...");
  EXPECT_TRUE(dialogs.Log()[0].Request.MustExist);

  TypeAndLeave(Find<TempoBox>("ETempo"), "96");
  Find<QToolButton>("BSave")->click();
  EXPECT_EQ(dialogs.Count(ScriptedDialogService::Shown::Kind::SaveFile), 0);
  auto saved = ReadBack(path);
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(saved->Tempo, 96);
  EXPECT_EQ(saved->Bar(2).Comment, "bridge");
}

TEST_F(MainWindowTest, FileNameThatIsNotUtf8IsOpenedAndSavedUnderItsOwnBytes) {
  // The folder's name, then the bytes FF FE, which no UTF-8 text holds.
  const std::string local = LocalPathString(folder.path()) + "/\xff\xfe song.gvlm";
  Osnova doc(4, 2, 4);
  std::string error;
  ASSERT_TRUE(SaveToTabFile(doc, local, error)) << error;
  const QString path = PathFromLocalBytes(QByteArray::fromStdString(local));
  EXPECT_EQ(LocalPathString(path), local);
  // Valid UTF-8 (and an overlong form, which is not) decodes as Qt decodes names.
  const QByteArray valid("Gr\xc3\xbc\xc3\x9f" "e \xf0\x9f\x98\x80"), overlong("\xc0\xaf");
  EXPECT_EQ(PathFromLocalBytes(valid), QFile::decodeName(valid));
  EXPECT_EQ(LocalPathBytes(PathFromLocalBytes(overlong)), overlong);
  TFmain& w = Window();
  ASSERT_TRUE(w.OpenDocumentFile(path));
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_EQ(w.Document()->FileName, local);
  TypeAndLeave(Find<TempoBox>("ETempo"), "77");
  Find<QToolButton>("BSave")->click();
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(local, bytes, error)) << error;
  auto saved = ReadTabBytes(bytes);
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(saved->Tempo, 77);
  // No second file of a damaged name.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(LocalPathString(folder.path())), {}), 1);
  std::filesystem::remove(local);  // QTemporaryDir cannot name it
}

TEST_F(MainWindowTest, RefusedFileLocksTheWindowResetsHistoryAndKeepsTheTitle) {
  TFmain& w = Window();
  w.NewDocument();
  TypeAndLeave(Find<TempoBox>("ETempo"), "111");
  dialogs.Answers = {true};
  const std::string kitBefore(Window().Settings().GlobalKit.begin(), Window().Settings().GlobalKit.end());
  QFile junk(PathIn("junk.gvlm"));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write("this is not a tab");
  junk.close();
  dialogs.OpenAnswers = {junk.fileName()};
  w.OpenDocument();

  EXPECT_EQ(dialogs.Messages(), std::vector<QString>{kDamagedTabFileMessage});
  EXPECT_EQ(w.windowTitle(), "Grooveloom 1.0 - [ Unnamed ]");
  EXPECT_FALSE(w.DocumentShown());
  EXPECT_FALSE(Find<QFrame>("Panel7")->isEnabled());
  EXPECT_FALSE(Item("File_3")->isEnabled());
  EXPECT_FALSE(w.History().CanUndo());
  EXPECT_FALSE(Find<QToolButton>("BUndo")->isEnabled());
  EXPECT_FALSE(w.Cursor().has_value());
  EXPECT_EQ(std::string(Window().Settings().GlobalKit.begin(), Window().Settings().GlobalKit.end()), kitBefore);

  // Quitting now is not a question of unsaved changes, and New brings the controls back.
  dialogs.Answers = {false};
  w.close();
  EXPECT_EQ(dialogs.Questions().back(), "Do you really want to quit?");
  w.NewDocument();
  EXPECT_TRUE(w.DocumentShown());
  EXPECT_TRUE(Find<QFrame>("Panel7")->isEnabled());
  EXPECT_TRUE(w.Cursor().has_value());
}

TEST_F(MainWindowTest, OpenForgetsThePreviousHistory) {
  const QString path = WriteTabFile("a.gvlm", Osnova(4, 3, 4));
  TFmain& w = Window();
  w.NewDocument();
  TypeAndLeave(Find<TempoBox>("ETempo"), "100");
  ASSERT_TRUE(Find<QToolButton>("BUndo")->isEnabled());
  dialogs.Answers = {true};
  dialogs.OpenAnswers = {path};
  w.OpenDocument();
  EXPECT_FALSE(w.History().CanUndo());
  EXPECT_FALSE(Find<QToolButton>("BUndo")->isEnabled());
  EXPECT_FALSE(Item("EUndo1")->isEnabled());
}

// A save that fails leaves the old file, the document's flags and name, the title and the target
// as they were, and says why.
class FailedSaveTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    TFmain& w = Window();
    w.NewDocument();
    dialogs.SaveAnswers = {good};
    w.SaveDocument();
    oldBytes = Contents(good);
    ASSERT_FALSE(oldBytes.isEmpty());
    TypeAndLeave(Find<TempoBox>("ETempo"), "150");  // now modified
    title = w.windowTitle();
    dialogs.Clear();
  }
  void ExpectNothingChanged(const QString& target, const char* reason) {
    TFmain& w = Window();
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    const QString message = dialogs.Messages()[0];
    EXPECT_TRUE(message.contains(target)) << message.toStdString();
    EXPECT_TRUE(message.contains(reason)) << message.toStdString();
    EXPECT_EQ(dialogs.Log().back().BoxIcon, DialogService::Icon::Error);
    EXPECT_TRUE(w.Document()->Modified);
    EXPECT_TRUE(w.Document()->HasFile);
    EXPECT_EQ(w.Document()->FileName, good.toStdString());
    EXPECT_EQ(w.windowTitle(), title);
    EXPECT_EQ(w.SaveTarget(), good);
    EXPECT_EQ(Contents(good), oldBytes);
  }

  const QString good = PathIn("good.gvlm");
  QByteArray oldBytes;
  QString title;
};

TEST_F(FailedSaveTest, SaveAsIntoAFolderThatDoesNotExist) {
  const QString target = PathIn("missing/song.gvlm");
  dialogs.SaveAnswers = {target};
  EXPECT_FALSE(Window().SaveDocumentAs());
  ExpectNothingChanged(target, "No such file or directory");
  EXPECT_FALSE(QFile::exists(target));

  // The next Save still goes to the file the document came from.
  dialogs.Clear();
  EXPECT_TRUE(Window().SaveDocument());
  EXPECT_TRUE(dialogs.Log().empty());
  EXPECT_EQ(ReadBack(good)->Tempo, 150);
}

TEST_F(FailedSaveTest, SaveAsUnderARegularFile) {
  const QString target = good + "/song.gvlm";
  dialogs.SaveAnswers = {target};
  EXPECT_FALSE(Window().SaveDocumentAs());
  ExpectNothingChanged(target, "Not a directory");
}

TEST_F(FailedSaveTest, WriteThatFailsPartWay) {
  TestWriteFaults().FailAfterBytes = 20;
  EXPECT_FALSE(Window().SaveDocument());
  TestWriteFaults().FailAfterBytes = -1;
  ExpectNothingChanged(good, "Input/output error");
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"good.gvlm"}) << "no temporary left";
}

TEST_F(MainWindowTest, UndoAndRedoReturnDocumentViewAndCursorButNotTheFileState) {
  Osnova doc(4, 30, 4);
  const QString path = WriteTabFile("long.gvlm", doc);
  TFmain& w = Window();
  dialogs.OpenAnswers = {path};
  w.OpenDocument();

  Find<QScrollBar>("ScrollBar1")->setValue(21);  // bar 20, scrolled into view
  ASSERT_EQ(w.Document()->CurrentBar, 20);
  const TCursor cursorAt20 = *w.Cursor();
  const uint16_t firstAt20 = w.Document()->FirstVisibleBar;
  ASSERT_GT(firstAt20, 0);
  TypeAndLeave(Find<CommentBox>("Ecom"), "fill");  // an edit on bar 20
  TypeAndLeave(Find<TempoBox>("ETempo"), "140");
  Find<QScrollBar>("ScrollBar1")->setValue(1);
  ASSERT_EQ(w.Document()->CurrentBar, 0);
  const QString title = w.windowTitle();
  EXPECT_TRUE(title.startsWith("*Grooveloom")) << "unsaved changes";

  EXPECT_TRUE(w.BUndoClick());  // the tempo
  EXPECT_EQ(w.Document()->Tempo, 120);
  EXPECT_EQ(Find<TempoBox>("ETempo")->value(), 120);
  EXPECT_EQ(Find<TempoBox>("ESped")->value(), 120);
  EXPECT_EQ(w.Document()->Bar(20).Comment, "fill");
  Item("EUndo")->trigger();  // the comment, on bar 20
  EXPECT_EQ(w.Document()->Bar(20).Comment, "");
  EXPECT_EQ(w.Document()->CurrentBar, 20);
  EXPECT_EQ(w.Document()->FirstVisibleBar, firstAt20);
  EXPECT_EQ(w.Cursor()->Column, cursorAt20.Column);
  EXPECT_EQ(w.Cursor()->Line, cursorAt20.Line);
  EXPECT_EQ(Find<QSpinBox>("EAbar")->value(), 20);
  EXPECT_EQ(Find<QScrollBar>("ScrollBar1")->value(), 21);
  EXPECT_EQ(w.windowTitle(), title.mid(1)) << "back at the opened file: no marker";
  EXPECT_FALSE(w.Document()->Modified) << "back at the opened file";
  EXPECT_EQ(w.Document()->FileName, path.toStdString());
  EXPECT_EQ(w.SaveTarget(), path);
  EXPECT_FALSE(Find<QToolButton>("BUndo")->isEnabled());

  Item("ERedo1")->trigger();
  Item("ERedo")->trigger();
  EXPECT_EQ(w.Document()->Bar(20).Comment, "fill");
  EXPECT_EQ(w.Document()->Tempo, 140);
  EXPECT_EQ(w.Document()->CurrentBar, 0);
  EXPECT_EQ(w.Cursor()->Column, 0);
  EXPECT_FALSE(Find<QToolButton>("BRedo")->isEnabled());
  EXPECT_TRUE(Find<QToolButton>("BUndo")->isEnabled());

  // Saving after all that still writes the opened file.
  w.SaveDocument();
  EXPECT_EQ(ReadBack(path)->Tempo, 140);
}

TEST_F(MainWindowTest, UndoPaintsTheRestoredDocument) {
  TFmain& w = Window();
  w.NewDocument();
  const QImage plain = w.View()->Image();
  TypeAndLeave(Find<CommentBox>("Ecom"), "intro");
  ASSERT_NE(w.View()->Image(), plain) << "the comment is drawn";
  Find<QToolButton>("BUndo")->click();
  EXPECT_EQ(w.View()->Image(), plain);
}

TEST_F(MainWindowTest, BarClipboardComesWithTheFirstDocumentAndOutlivesIt) {
  TFmain& w = Window();
  EXPECT_EQ(w.Clipboard(), nullptr);
  w.NewDocument();
  TClipBord* clipboard = w.Clipboard();
  ASSERT_NE(clipboard, nullptr);
  w.Document()->EditBar(3).Comment = "copied";
  std::string error;
  ASSERT_TRUE(clipboard->CopyBar(*w.Document(), 3, error)) << error;

  w.NewDocument();  // nothing was edited: no question
  EXPECT_EQ(w.Clipboard(), clipboard);
  EXPECT_EQ(w.Clipboard()->Bar.Comment, "copied");
  const QString path = WriteTabFile("b.gvlm", Osnova(4, 2, 4));
  dialogs.OpenAnswers = {path};
  w.OpenDocument();
  EXPECT_EQ(w.Clipboard(), clipboard);
}

// Save, then Undo: the document differs from the file and quitting must ask; Redo back to the
// saved state is unmodified again, and an edit that stores nothing new marks nothing.
TEST_F(MainWindowTest, ModifiedAfterUndoOrRedoUnlessBackAtTheSavedState) {
  TFmain& w = Window();
  w.NewDocument();
  TypeAndLeave(Find<TempoBox>("ETempo"), "140");
  dialogs.SaveAnswers = {PathIn("song.gvlm")};
  ASSERT_TRUE(w.SaveDocument());
  ASSERT_FALSE(w.Document()->Modified);

  Find<QToolButton>("BUndo")->click();
  EXPECT_TRUE(w.Document()->Modified) << "the tempo the file holds was undone";
  dialogs.Answers = {false};
  EXPECT_FALSE(w.close());
  EXPECT_EQ(dialogs.Questions(), std::vector<QString>{kQuitUnsavedQuestion});

  Find<QToolButton>("BRedo")->click();
  EXPECT_FALSE(w.Document()->Modified) << "back at the state saved";

  // The timing the bar already has, chosen again; the tempo the document already has.
  Find<QComboBox>("ETakt1")->activated(Find<QComboBox>("ETakt1")->currentIndex());
  TypeAndLeave(Find<TempoBox>("ETempo"), "140");
  EXPECT_FALSE(w.Document()->Modified);
  Find<QToolButton>("BUndo")->click();
  Find<QToolButton>("BUndo")->click();
  EXPECT_FALSE(w.Document()->Modified) << "the steps that changed nothing lead back to the save";
  Find<QToolButton>("BUndo")->click();
  EXPECT_TRUE(w.Document()->Modified);
  EXPECT_EQ(w.Document()->Tempo, 120);
}

// Undo and Redo show the restored song tempo in the playback tempo box too, and playback takes its
// step from there.
TEST_F(MainWindowTest, UndoAndRedoSetThePlaybackTempoBox) {
  TFmain& w = Window();
  w.NewDocument();
  TypeAndLeave(Find<TempoBox>("ETempo"), "200");
  TypeAndLeave(Find<TempoBox>("ESped"), "90");
  ASSERT_EQ(w.StepDelay, 167);
  Find<QToolButton>("BUndo")->click();
  EXPECT_EQ(Find<TempoBox>("ESped")->value(), 120);
  EXPECT_EQ(w.StepDelay, 125);
  Find<QToolButton>("BRedo")->click();
  EXPECT_EQ(Find<TempoBox>("ESped")->value(), 200);
  EXPECT_EQ(w.StepDelay, 75);
}

// `grooveloom song.gvlm`: the title and the save target name the file absolutely, as after the
// Open dialog, and stay right when the current folder changes.
TEST_F(MainWindowTest, FileOpenedByARelativeNameIsShownAndSavedByItsAbsolutePath) {
  const QString absolute = WriteTabFile("song.gvlm", Osnova(4, 2, 4));
  const QString before = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(folder.path()));
  TFmain& w = Window();
  const bool opened = w.OpenDocumentFile("./sub/../song.gvlm");
  QDir::setCurrent(before);
  ASSERT_TRUE(opened);
  EXPECT_EQ(w.windowTitle(), "Grooveloom 1.0 - [ " + absolute + " ]");
  EXPECT_EQ(w.SaveTarget(), absolute);
  TypeAndLeave(Find<TempoBox>("ETempo"), "99");
  ASSERT_TRUE(w.SaveDocument());
  EXPECT_EQ(ReadBack(absolute)->Tempo, 99);
}

TEST_F(MainWindowTest, TitleShowsAStarWhileTheSongHasUnsavedChanges) {
  TFmain& w = Window();
  w.NewDocument();
  EXPECT_EQ(w.windowTitle(), "Grooveloom 1.0 - [ Unnamed ]");
  Press(Qt::Key_Z);
  EXPECT_EQ(w.windowTitle(), "*Grooveloom 1.0 - [ Unnamed ]");
  const QString path = PathIn("song.gvlm");
  dialogs.SaveAnswers = {path};
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(w.windowTitle(), "Grooveloom 1.0 - [ " + path + " ]");
  Press(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(w.windowTitle().startsWith('*')) << "undone past the saved state";
  Press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(w.windowTitle(), "Grooveloom 1.0 - [ " + path + " ]") << "back at the saved state";
  Find<QToolButton>("BCopy")->click();  // a copy from the button marks the song modified
  EXPECT_TRUE(w.windowTitle().startsWith('*'));
}

// Deep undo: 1,200 note entries on an opened song, undone one by one back to the file's state and
// redone to the full song, each end with its own saved state and quit question; the items name
// what they take back.
TEST_F(MainWindowTest, TwelveHundredNoteEntriesUndoAndRedoToTheExactEnds) {
  TFmain& w = Window();
  dialogs.OpenAnswers = {WriteTabFile("long.gvlm", Osnova(4, 300, 4))};
  w.OpenDocument();
  const std::string empty = WriteTabBytes(*w.Document());
  constexpr int kEntries = 1200;  // pace 4: four stops a bar, 300 bars
  for (int i = 0; i < kEntries; ++i) {
    Press(Qt::Key_S);
    Press(Qt::Key_Right);
  }
  const std::string full = WriteTabBytes(*w.Document());
  ASSERT_NE(full, empty);
  EXPECT_EQ(Find<QAction>("EUndo")->text(), "U&ndo note entry");

  // The button clicked while its item is enabled: one step a click, to the end and no further.
  const auto clicksToEnd = [&](const char* item, const char* button) {
    int clicks = 0;
    for (; Find<QAction>(item)->isEnabled() && clicks <= kEntries; ++clicks) Find<QToolButton>(button)->click();
    return clicks;
  };
  EXPECT_EQ(clicksToEnd("EUndo", "BUndo"), kEntries);
  EXPECT_EQ(WriteTabBytes(*w.Document()), empty);
  EXPECT_FALSE(w.Document()->Modified) << "back at the state opened";
  EXPECT_EQ(Find<QAction>("ERedo")->text(), "&Redo note entry");
  dialogs.Answers = {false};
  EXPECT_FALSE(w.close());
  EXPECT_EQ(dialogs.Questions().back(), "Do you really want to quit?");

  EXPECT_EQ(clicksToEnd("ERedo", "BRedo"), kEntries);
  EXPECT_EQ(WriteTabBytes(*w.Document()), full);
  EXPECT_TRUE(w.Document()->Modified);
  dialogs.Answers = {false};
  EXPECT_FALSE(w.close());
  EXPECT_EQ(dialogs.Questions().back(), kQuitUnsavedQuestion);
}
