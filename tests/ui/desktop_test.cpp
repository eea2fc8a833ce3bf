// File > Recent Files and crash recovery through the real window: the list across runs, the
// recovery copy written on time and after 50 edits, a real crash (kill -9 of a child process) with
// Recover and Discard, no copy left after a save or a normal quit, and an unwritable state folder.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QMenu>
#include <QRegularExpression>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>

#include "files/recent_files.h"
#include "files/recovery_copy.h"
#include "tests/ui/main_window_fixture.h"
#include "tests/ui/wait.h"
#include "ui/local_path.h"
#include "ui/recent_files_menu.h"
#include "ui/recovery.h"

namespace {

constexpr const char* kChildVariable = "GROOVELOOM_TEST_CRASH_CHILD";

QStringList MenuTexts(QMenu* menu) {
  QStringList texts;
  for (QAction* a : menu->actions()) texts << a->text();
  return texts;
}

QStringList FilesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// A few notes over two bars, by the keys a user presses.
void TypeSomeNotes(const std::function<void(int, Qt::KeyboardModifiers)>& press) {
  for (int key : {Qt::Key_S, Qt::Key_Right, Qt::Key_Z, Qt::Key_Right, Qt::Key_Q})
    press(key, Qt::NoModifier);
  press(Qt::Key_Right, Qt::ControlModifier);
  press(Qt::Key_1, Qt::ShiftModifier);
}

}  // namespace

// Each test has its own settings and state folders.
class DesktopTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    savedConfig = qgetenv("XDG_CONFIG_HOME");
    savedState = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_CONFIG_HOME", PathIn("config").toLocal8Bit());
    qputenv("XDG_STATE_HOME", PathIn("state").toLocal8Bit());
  }
  void TearDown() override {
    MainWindowTest::TearDown();
    qputenv("XDG_CONFIG_HOME", savedConfig);
    qputenv("XDG_STATE_HOME", savedState);
  }
  QString RecoveryDir() const { return PathIn("state/grooveloom/recovery"); }
  QString RecentFile() const { return PathIn("config/grooveloom/recent-files"); }
  void PressKey(int key, Qt::KeyboardModifiers m) { Press(key, m); }
  // The n-th item of File > Recent Files as the menu shows it now.
  void ChooseRecent(int n) {
    QMenu* menu = Find<QMenu>("RecentFiles1");
    ASSERT_LT(n - 1, menu->actions().size());
    QAction* item = menu->actions()[n - 1];
    EXPECT_EQ(item->objectName(), QString("RecentFile%1").arg(n));
    item->trigger();
  }
  std::string SongBytes() { return WriteTabBytes(*Window().Document()); }
  // A recovery copy as a crashed run leaves it: its process has ended. Written `age` minutes ago.
  void LeaveCopy(const QString& name, const std::string& bytes, const QString& original, int age) {
    QDir().mkpath(RecoveryDir());
    static const int64_t ended = [] {
      const pid_t child = ::fork();
      if (child == 0) ::_exit(0);
      ::waitpid(child, nullptr, 0);
      return static_cast<int64_t>(child);
    }();
    const RecoveryInfo info{LocalPathString(original), ended, 1, ""};
    const std::string base = LocalPathString(RecoveryDir() + "/" + name);
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(base + ".info", FormatRecoveryInfo(info), error)) << error;
    ASSERT_TRUE(WriteFileAtomically(base + ".gvlm", bytes, error)) << error;
    std::filesystem::last_write_time(base + ".gvlm", std::filesystem::file_time_type::clock::now() -
                                                         std::chrono::minutes(age));
  }

  QByteArray savedConfig, savedState;
};

TEST_F(DesktopTest, RecentFilesListOpenedAndSavedSongsAcrossRuns) {
  TFmain& w = Window();
  QMenu* recent = Find<QMenu>("RecentFiles1");
  EXPECT_FALSE(recent->isEnabled()) << "nothing to list yet";
  EXPECT_EQ(Find<QMenu>("File1")->actions().indexOf(recent->menuAction()), Find<QMenu>("File1")->actions().indexOf(Find<QAction>("Open2")) + 1);

  Osnova song(4, 3, 4);
  const QString a = WriteTabFile("a.gvlm", song), b = WriteTabFile("b.gvlm", song);
  ASSERT_TRUE(w.OpenDocumentFile(a));
  w.NewDocument();
  dialogs.SaveAnswers = {PathIn("c.gvlm")};
  ASSERT_TRUE(w.SaveDocument());
  ASSERT_TRUE(w.OpenDocumentFile(b));
  ASSERT_TRUE(w.OpenDocumentFile(a));  // moves up, once
  const QStringList expected{a, b, PathIn("c.gvlm")};
  EXPECT_EQ(w.Recent().Paths(), expected);
  EXPECT_TRUE(recent->isEnabled());
  EXPECT_EQ(MenuTexts(recent), (QStringList{"&1 " + a, "&2 " + b, "&3 " + PathIn("c.gvlm")}));
  // A file of its own, one path a line.
  EXPECT_EQ(Contents(RecentFile()), (expected.join('\n') + '\n').toLocal8Bit());

  // The next run shows the same list; choosing an item opens it.
  window.reset();
  TFmain& again = Window();
  EXPECT_EQ(again.Recent().Paths(), expected);
  ChooseRecent(2);
  EXPECT_EQ(again.windowTitle(), "Grooveloom 1.0 - [ " + b + " ]");
  ASSERT_TRUE(WaitUntil([&] { return again.Recent().Paths().value(0) == b; }));
  EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(DesktopTest, RecentFilesKeepEightAndDropAMissingFileWhenChosen) {
  TFmain& w = Window();
  Osnova song(4, 1, 4);
  for (int i = 1; i <= 10; ++i) ASSERT_TRUE(w.OpenDocumentFile(WriteTabFile(QString("s%1.gvlm").arg(i), song)));
  ASSERT_EQ(w.Recent().Paths().size(), 8u);
  EXPECT_EQ(w.Recent().Paths().front(), PathIn("s10.gvlm"));
  EXPECT_EQ(w.Recent().Paths().back(), PathIn("s3.gvlm"));

  ASSERT_TRUE(QFile::remove(PathIn("s9.gvlm")));
  const QString title = w.windowTitle();
  ChooseRecent(2);
  EXPECT_EQ(dialogs.Messages(),
            std::vector<QString>{"The file \"" + PathIn("s9.gvlm") +
                                 "\" no longer exists. It has been removed from the Recent Files list."});
  EXPECT_EQ(w.windowTitle(), title) << "the open song stays";
  EXPECT_FALSE(w.Recent().Paths().contains(PathIn("s9.gvlm")));
  EXPECT_FALSE(Contents(RecentFile()).contains("s9.gvlm"));
  EXPECT_EQ(MenuTexts(Find<QMenu>("RecentFiles1")).size(), 7);
}

TEST_F(DesktopTest, CopyWrittenOnTimeIsRemovedBySaveNewAndQuit) {
  TFmain& w = Window();
  ASSERT_TRUE(w.OpenDocumentFile(WriteTabFile("song.gvlm", Osnova(4, 4, 4))));
  w.Recovery().SetIntervalMs(20);
  QCoreApplication::processEvents();
  EXPECT_TRUE(FilesIn(RecoveryDir()).isEmpty()) << "no unsaved change, no copy";

  TypeSomeNotes([&](int k, Qt::KeyboardModifiers m) { PressKey(k, m); });
  const std::string bytes = SongBytes();
  RecoveryWriter& writer = w.Recovery().Writer();
  const QString copy = QFile::decodeName(writer.TabPath().c_str());
  ASSERT_TRUE(WaitUntil([&] { return Contents(copy).toStdString() == bytes; }));
  const std::optional<RecoveryInfo> info =
      ParseRecoveryInfo(Contents(QFile::decodeName(writer.InfoPath().c_str())).toStdString());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Original, PathIn("song.gvlm").toStdString());
  EXPECT_EQ(info->Pid, QCoreApplication::applicationPid());

  ASSERT_TRUE(w.SaveDocument());
  writer.WaitIdle();
  EXPECT_TRUE(FilesIn(RecoveryDir()).isEmpty());

  Press(Qt::Key_S);
  ASSERT_TRUE(WaitUntil([&] { return QFile::exists(copy); }));
  dialogs.Answers = {true};  // open a new song anyway
  w.NewDocument();
  writer.WaitIdle();
  EXPECT_TRUE(FilesIn(RecoveryDir()).isEmpty());

  Press(Qt::Key_S);
  ASSERT_TRUE(WaitUntil([&] { return QFile::exists(copy); }));
  dialogs.Answers = {true};  // quit without saving
  EXPECT_TRUE(w.close());
  window.reset();
  EXPECT_TRUE(FilesIn(RecoveryDir()).isEmpty());
}

TEST_F(DesktopTest, EveryFiftiethEditWritesACopyWithoutWaitingForTheInterval) {
  TFmain& w = Window();
  w.NewDocument();
  w.Recovery().SetIntervalMs(3600 * 1000);
  const QString copy = QFile::decodeName(w.Recovery().Writer().TabPath().c_str());
  for (int i = 0; i < kAutosaveEdits - 1; ++i) Press(Qt::Key_S);
  QCoreApplication::processEvents();
  w.Recovery().Writer().WaitIdle();
  EXPECT_FALSE(QFile::exists(copy));
  Press(Qt::Key_S);
  ASSERT_TRUE(WaitUntil([&] { return Contents(copy).toStdString() == SongBytes(); }));
}

TEST_F(DesktopTest, UnwritableStateFolderIsReportedOnceAndEditingGoesOn) {
  ASSERT_TRUE(QFile(PathIn("blocker")).open(QIODevice::WriteOnly));
  qputenv("XDG_STATE_HOME", PathIn("blocker/state").toLocal8Bit());  // below a plain file
  TFmain& w = Window();
  w.NewDocument();
  w.Recovery().SetIntervalMs(10);
  Press(Qt::Key_S);
  ASSERT_TRUE(WaitUntil([&] { return !dialogs.Messages().empty(); }));
  EXPECT_TRUE(dialogs.Messages()[0].startsWith("Cannot write the recovery copy of the song to \"" +
                                               PathIn("blocker/state/grooveloom/recovery") + "\""))
      << dialogs.Messages()[0].toStdString();
  // More attempts, and more edits: still the one message.
  w.Recovery().SetIntervalMs(3600 * 1000);
  for (int i = 0; i < 3; ++i) {
    Press(Qt::Key_Right);
    Press(Qt::Key_Z);
    w.Recovery().WriteNow();
    w.Recovery().Writer().WaitIdle();
    QCoreApplication::processEvents();  // the failure's report comes back as a queued call
  }
  EXPECT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowBass].Has(12));  // three steps of a quarter
}

// Runs only inside the child process of the crash test: opens the song, types notes, waits for
// the recovery copy, says so, and waits to be killed.
TEST_F(DesktopTest, CrashChild) {
  const QString song = qEnvironmentVariable(kChildVariable);
  if (song.isEmpty()) GTEST_SKIP() << "the child process of RecoverAfterAKill";
  qputenv("XDG_STATE_HOME", qgetenv("GROOVELOOM_TEST_STATE"));
  TFmain& w = Window();
  ASSERT_TRUE(w.OpenDocumentFile(song));
  TypeSomeNotes([&](int k, Qt::KeyboardModifiers m) { PressKey(k, m); });
  const std::string bytes = SongBytes();
  const QString copy = QFile::decodeName(w.Recovery().Writer().TabPath().c_str());
  ASSERT_TRUE(WaitUntil([&] { return Contents(copy).toStdString() == bytes; }));
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(song.toStdString() + ".expected", bytes, error));
  std::cout << "READY" << std::endl;
  WaitUntil([] { return false; }, 120000);  // killed long before
}

TEST_F(DesktopTest, RecoverAfterAKillGivesBackEveryNoteAndDiscardDeletes) {
  Osnova original(4, 4, 4);
  const QString song = WriteTabFile("song.gvlm", original);
  const QByteArray saved = Contents(song);

  // The child is started by fork and exec rather than QProcess: QProcess starts children with
  // vfork semantics, after which ThreadSanitizer loses track of the locks this thread takes.
  auto crash = [&] {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.push_back(std::string(kChildVariable) + "=" + song.toStdString());
    env.push_back("GROOVELOOM_TEST_STATE=" + PathIn("state").toStdString());
    env.push_back("GROOVELOOM_AUTOSAVE_SECONDS=0.05");
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = QCoreApplication::applicationFilePath().toStdString();
    std::string filter = "--gtest_filter=DesktopTest.CrashChild";
    char* argv[] = {program.data(), filter.data(), nullptr};
    int out[2];
    ASSERT_EQ(::pipe2(out, O_CLOEXEC | O_NONBLOCK), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::dup2(out[1], STDOUT_FILENO);  // dup2 clears close-on-exec on the copy
      ::execve(program.c_str(), argv, envp.data());
      ::_exit(127);
    }
    ::close(out[1]);
    std::string printed;
    int status = 0;
    bool ended = false;
    EXPECT_TRUE(WaitUntil([&] {
      char buffer[256];
      for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) printed.append(buffer, n);
      ended = ::waitpid(pid, &status, WNOHANG) == pid;
      return ended || printed.find("READY") != std::string::npos;
    }, 60000));
    ::close(out[0]);
    ASSERT_FALSE(ended) << "the child ended before it was ready: " << printed;
    ::kill(pid, SIGKILL);
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  };

  // Escape keeps the copy for later; Discard deletes it.
  crash();
  ASSERT_EQ(FilesIn(RecoveryDir()).size(), 2u) << FilesIn(RecoveryDir()).join(' ').toStdString();
  TFmain& w = Window();
  dialogs.Choices = {ScriptedDialogService::kEscape, 1};
  w.OfferRecovery();
  EXPECT_EQ(FilesIn(RecoveryDir()).size(), 2u);
  w.OfferRecovery();
  ASSERT_EQ(dialogs.Count(ScriptedDialogService::Shown::Kind::Choice), 2);
  const ScriptedDialogService::Shown& asked = dialogs.Log().back();
  EXPECT_TRUE(QRegularExpression("^Grooveloom was not closed properly\\. Recover the unsaved song "
                                 "\"song\\.gvlm\" from \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d\\?$")
                  .match(asked.Text)
                  .hasMatch())
      << asked.Text.toStdString();
  EXPECT_EQ(dialogs.ChoiceButtons.back(), (QStringList{"Recover", "Discard", "Later"}));
  EXPECT_TRUE(FilesIn(RecoveryDir()).isEmpty());
  EXPECT_EQ(w.Document(), nullptr);
  window.reset();

  // Recover opens the song as it was at the crash, unsaved, under its own name.
  crash();
  dialogs.Clear();
  TFmain& w2 = Window();
  dialogs.Choices = {0};
  w2.OfferRecovery();
  ASSERT_NE(w2.Document(), nullptr);
  EXPECT_EQ(SongBytes(), Contents(song + ".expected").toStdString()) << "every note is back";
  EXPECT_TRUE(w2.Document()->Modified);
  EXPECT_EQ(w2.windowTitle(), "*Grooveloom 1.0 - [ " + song + " ]");
  EXPECT_EQ(Contents(song), saved) << "nothing written to the song's file yet";
  EXPECT_FALSE(w2.Recent().Paths().contains(QFile::decodeName(w2.Recovery().Writer().TabPath().c_str())));
  // Only this run's own copy is left; Save writes to the song's own file and removes it.
  EXPECT_EQ(FilesIn(RecoveryDir()).size(), 2u);
  ASSERT_TRUE(w2.SaveDocument());
  EXPECT_EQ(Contents(song).toStdString(), Contents(song + ".expected").toStdString());
  w2.Recovery().Writer().WaitIdle();
  EXPECT_TRUE(FilesIn(RecoveryDir()).isEmpty());
  EXPECT_TRUE(dialogs.Drained());
}

// A name that is not valid UTF-8 is listed, stored and reopened under its own bytes.
TEST_F(DesktopTest, RecentFileWhoseNameIsNotUtf8KeepsItsBytes) {
  TFmain& w = Window();
  const std::string local = LocalPathString(folder.path()) + "/song\xff.gvlm";
  std::string error;
  Osnova song(4, 2, 4);
  ASSERT_TRUE(SaveToTabFile(song, local, error)) << error;
  const QString path = PathFromLocalBytes(QByteArray::fromStdString(local));
  ASSERT_TRUE(w.OpenDocumentFile(path));
  EXPECT_TRUE(Contents(RecentFile()).contains(QByteArray::fromStdString(local)));
  w.NewDocument();
  ChooseRecent(1);
  EXPECT_TRUE(dialogs.Messages().empty()) << "the file is there: no 'no longer exists'";
  EXPECT_EQ(w.Document()->FileName, local);
  std::filesystem::remove(local);  // QTemporaryDir cannot name it
}

// Escape, closing the box and Later mean "not now": the copy stays and is asked about again.
TEST_F(DesktopTest, EscapeAtTheRecoveryQuestionKeepsTheCopyForTheNextStart) {
  Osnova song(4, 3, 4);
  song.EditBar(1).Rows[RowSnare].Set(4, 0, 0);
  LeaveCopy("1-1", WriteTabBytes(song), PathIn("song.gvlm"), 1);
  TFmain& w = Window();
  dialogs.Choices = {ScriptedDialogService::kEscape};
  EXPECT_FALSE(w.OfferRecovery());
  EXPECT_EQ(dialogs.ChoiceDefaults.back(), 0) << "Enter recovers";
  EXPECT_EQ(dialogs.ChoiceButtons.back().value(dialogs.ChoiceEscapes.back()), "Later");
  EXPECT_EQ(FilesIn(RecoveryDir()), (QStringList{"1-1.gvlm", "1-1.info"}));
  EXPECT_EQ(w.Document(), nullptr);
  window.reset();

  dialogs.Clear();
  TFmain& again = Window();
  dialogs.Choices = {2};  // Later
  EXPECT_FALSE(again.OfferRecovery());
  dialogs.Choices = {ScriptedDialogService::kEnter};
  EXPECT_TRUE(again.OfferRecovery());
  EXPECT_EQ(SongBytes(), WriteTabBytes(song));
  EXPECT_EQ(dialogs.Count(ScriptedDialogService::Shown::Kind::Choice), 2);
}

// Opening a file (a song double-clicked after a crash) over the recovered song asks, and Enter and
// Escape keep the recovered song; only the explicit answer replaces it.
TEST_F(DesktopTest, OpeningAFileOverTheRecoveredSongKeepsItUnlessChosen) {
  Osnova recovered(4, 3, 4);
  recovered.EditBar(2).Rows[RowBass].Set(0, 0, 1);
  LeaveCopy("1-1", WriteTabBytes(recovered), PathIn("song.gvlm"), 1);
  const QString other = WriteTabFile("other.gvlm", Osnova(3, 5, 4));
  TFmain& w = Window();
  dialogs.Choices = {ScriptedDialogService::kEnter};
  ASSERT_TRUE(w.OfferRecovery());
  for (int answer : {ScriptedDialogService::kEnter, ScriptedDialogService::kEscape}) {
    dialogs.Choices = {answer};
    EXPECT_FALSE(w.OpenDocumentFile(other));
    EXPECT_EQ(dialogs.Log().back().Text, kReplaceRecoveredQuestion);
    EXPECT_EQ(SongBytes(), WriteTabBytes(recovered));
    EXPECT_TRUE(w.Document()->Modified);
    EXPECT_EQ(w.windowTitle(), "*Grooveloom 1.0 - [ " + PathIn("song.gvlm") + " ]");
  }
  w.Recovery().Writer().WaitIdle();
  EXPECT_TRUE(QFile::exists(QFile::decodeName(w.Recovery().Writer().TabPath().c_str())))
      << "the recovered song is still safe from the next crash";
  dialogs.Choices = {ScriptedDialogService::kEscape};
  w.NewDocument();  // New asks the same
  EXPECT_EQ(SongBytes(), WriteTabBytes(recovered));

  dialogs.Choices = {0};  // Replace
  ASSERT_TRUE(w.OpenDocumentFile(other));
  EXPECT_EQ(w.Document()->BarCount, 5);
  // An ordinary unsaved song afterwards gets the ordinary question.
  Press(Qt::Key_S);
  dialogs.Answers = {false};
  EXPECT_FALSE(w.OpenDocumentFile(other));
  EXPECT_EQ(dialogs.Questions().back(), kOpenUnsavedQuestion);
}

// A damaged copy is reported as such before any question and kept aside; every other copy is
// offered, the first recovered here and each further one in a new window.
TEST_F(DesktopTest, DamagedCopyIsKeptAsideAndEveryCopyIsOffered) {
  Osnova older(4, 2, 4), newer(4, 4, 4);
  LeaveCopy("1-1", WriteTabBytes(older), PathIn("older.gvlm"), 30);
  LeaveCopy("2-1", WriteTabBytes(newer), "", 20);
  LeaveCopy("3-1", WriteTabBytes(newer).substr(0, 100), PathIn("broken.gvlm"), 10);
  TFmain& w = Window();
  QStringList started;
  w.Recovery().OpenInNewWindow = [&](const QString& copy) {
    started << copy;
    return true;
  };
  dialogs.Choices = {0, 0};
  ASSERT_TRUE(w.OfferRecovery());

  const std::vector<QString> messages = dialogs.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_FALSE(messages[0].contains("Cannot open file!"));
  EXPECT_TRUE(messages[0].contains("\"broken.gvlm\"") && messages[0].contains("damaged") &&
              messages[0].contains("kept as \"" + RecoveryDir() + "/damaged/3-1.gvlm\""))
      << messages[0].toStdString();
  EXPECT_EQ(Contents(RecoveryDir() + "/damaged/3-1.gvlm"), QByteArray::fromStdString(WriteTabBytes(newer).substr(0, 100)));
  ASSERT_EQ(dialogs.ChoiceButtons.size(), 2u) << "no question about the damaged copy";
  EXPECT_TRUE(dialogs.Log()[1].Text.contains("\"Unnamed\""));
  EXPECT_EQ(dialogs.ChoiceButtons[1][0], "Recover in New Window");
  EXPECT_TRUE(dialogs.Log()[2].Text.contains("\"older.gvlm\""));
  EXPECT_EQ(SongBytes(), WriteTabBytes(newer)) << "the newest recovered here";
  EXPECT_EQ(started, QStringList{RecoveryDir() + "/1-1.gvlm"});
  EXPECT_FALSE(QFile::exists(RecoveryDir() + "/2-1.gvlm"));
  window.reset();

  // The new window (--recover) takes its copy over without asking.
  dialogs.Clear();
  TFmain& second = Window();
  ASSERT_TRUE(second.RecoverCopy(started[0]));
  EXPECT_EQ(SongBytes(), WriteTabBytes(older));
  EXPECT_EQ(second.windowTitle(), "*Grooveloom 1.0 - [ " + PathIn("older.gvlm") + " ]");
  EXPECT_FALSE(QFile::exists(started[0]));
  EXPECT_FALSE(second.RecoverCopy(started[0]));
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_TRUE(dialogs.Messages()[0].contains("no longer there"));
}

// The real box: Enter picks the default button, Escape and the title bar's close the escape one.
TEST_F(DesktopTest, QuestionBoxKeysPickTheButtonsAsked) {
  QtDialogService real;
  auto answer = [&](const std::function<void(QWidget*)>& act) {
    bool acted = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      QWidget* box = QApplication::activeModalWidget();
      if (!box || acted) return;
      acted = true;
      act(box);
    });
    poll.start(5);
    return real.Choose(nullptr, "t", "question", {"Recover", "Discard", "Later"}, 0, 2);
  };
  EXPECT_EQ(answer([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); }), 2);
  EXPECT_EQ(answer([](QWidget* box) { box->close(); }), 2);
  EXPECT_EQ(answer([](QWidget* box) { QTest::keyClick(box, Qt::Key_Return); }), 0);
}
