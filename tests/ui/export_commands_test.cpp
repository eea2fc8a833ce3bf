#include "ui/export_commands.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/atomic_file.h"

namespace {

// Answers the save dialog from a queue and records every box and dialog.
class ExportDialogScript : public DialogService {
 public:
  std::deque<std::optional<QString>> SaveAnswers;
  std::vector<FileDialogSpec> SaveDialogs;
  struct Box {
    Icon BoxIcon;
    QString Text;
  };
  std::vector<Box> Boxes;

  void Message(QWidget*, Icon icon, const QString&, const QString& text) override {
    Boxes.push_back({icon, text});
  }
  bool Question(QWidget*, const QString& title, const QString&) override {
    ADD_FAILURE() << "unexpected question: " << title.toStdString();
    return false;
  }
  std::optional<QString> OpenFile(QWidget*, const FileDialogSpec& request) override {
    ADD_FAILURE() << "unexpected open dialog: " << request.Title.toStdString();
    return std::nullopt;
  }
  std::optional<QString> SaveFile(QWidget*, const FileDialogSpec& request) override {
    SaveDialogs.push_back(request);
    if (SaveAnswers.empty()) {
      ADD_FAILURE() << "unscripted save dialog";
      return std::nullopt;
    }
    // Copy the name out before popping; an empty optional means "Cancel".
    const bool confirmed = SaveAnswers.front().has_value();
    QString name = confirmed ? *SaveAnswers.front() : QString();
    SaveAnswers.pop_front();
    if (!confirmed) return std::nullopt;
    return name;
  }
};

using Command = void (*)(QWidget*, DialogService&, const Osnova&, const ExportBoxes&);
using Bytes = std::string (*)(const Osnova&, const ExportBoxes&);

struct CommandCase {
  const char* Name;
  Command Run;
  Bytes Expected;
  const char* Title;
  const char* Filter;
  const char* Suffix;
  const char* FileName;
};

class ExportCommandTest : public ::testing::TestWithParam<CommandCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    doc_ = std::make_unique<Osnova>(4, 3, 4);
    doc_->Artist = "Band";
    doc_->EditBar(1).Rows[RowSnare].Set(4, 0, 1);
    doc_->EditBar(2).Comment = "fill";
  }
  QString PathIn(const QString& name) const { return QDir(dir_.path()).filePath(name); }
  int FilesInDir() const {
    return static_cast<int>(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).size());
  }

  QTemporaryDir dir_;
  std::unique_ptr<Osnova> doc_;
  ExportBoxes boxes_{"4", "4", "96"};
  ExportDialogScript dialogs_;
};

TEST_P(ExportCommandTest, AsksWithItsOwnDialogAndWritesTheExport) {
  const CommandCase& c = GetParam();
  QString path = PathIn(c.FileName);
  dialogs_.SaveAnswers.push_back(path);
  c.Run(nullptr, dialogs_, *doc_, boxes_);

  ASSERT_EQ(dialogs_.SaveDialogs.size(), 1u);
  const FileDialogSpec& request = dialogs_.SaveDialogs[0];
  EXPECT_EQ(request.Title, c.Title);
  EXPECT_EQ(request.Filter, c.Filter);
  EXPECT_EQ(request.DefaultSuffix, c.Suffix);
  EXPECT_EQ(request.InitialFolder, ".");
  EXPECT_TRUE(request.ConfirmOverwrite);
  EXPECT_FALSE(request.MustExist);
  EXPECT_TRUE(dialogs_.Boxes.empty());

  std::string written, error;
  ASSERT_TRUE(ReadWholeFile(path.toStdString(), written, error)) << error;
  EXPECT_EQ(written, c.Expected(*doc_, boxes_));
  EXPECT_EQ(FilesInDir(), 1);  // no temporary file left behind
}

TEST_P(ExportCommandTest, DialogOffersTheSongsNameWithTheExportsExtension) {
  const CommandCase& c = GetParam();
  dialogs_.SaveAnswers = {std::nullopt, std::nullopt, std::nullopt};  // Cancel each time
  // A new song: nothing to offer until it has a title; a title is no path.
  c.Run(nullptr, dialogs_, *doc_, boxes_);
  doc_->Song = "AC/DC: Back\tin Black";
  c.Run(nullptr, dialogs_, *doc_, boxes_);
  // A song with a file: its name beside it.
  doc_->HasFile = true;
  doc_->FileName = "/music/tabs/back in black.gvlm";
  c.Run(nullptr, dialogs_, *doc_, boxes_);
  ASSERT_EQ(dialogs_.SaveDialogs.size(), 3u);
  const QString suffix = QString(".") + c.Suffix;
  EXPECT_EQ(dialogs_.SaveDialogs[0].InitialFile, "");
  EXPECT_EQ(dialogs_.SaveDialogs[1].InitialFile, "AC_DC: Back in Black" + suffix);
  EXPECT_EQ(dialogs_.SaveDialogs[2].InitialFile, "/music/tabs/back in black" + suffix);
}

TEST_P(ExportCommandTest, CancelledDialogWritesNothing) {
  dialogs_.SaveAnswers.push_back(std::nullopt);
  GetParam().Run(nullptr, dialogs_, *doc_, boxes_);
  EXPECT_EQ(dialogs_.SaveDialogs.size(), 1u);
  EXPECT_TRUE(dialogs_.Boxes.empty());
  EXPECT_EQ(FilesInDir(), 0);
}

TEST_P(ExportCommandTest, RefusedTargetShowsTheFileAndTheReason) {
  QString path = PathIn(QStringLiteral("no such folder/") + GetParam().FileName);
  dialogs_.SaveAnswers.push_back(path);
  GetParam().Run(nullptr, dialogs_, *doc_, boxes_);
  ASSERT_EQ(dialogs_.Boxes.size(), 1u);
  EXPECT_EQ(dialogs_.Boxes[0].BoxIcon, DialogService::Icon::Error);
  EXPECT_EQ(dialogs_.Boxes[0].Text,
            QStringLiteral("Cannot write \"%1\": No such file or directory").arg(path));
  EXPECT_EQ(FilesInDir(), 0);
}

TEST_P(ExportCommandTest, FailedWriteKeepsTheOldFile) {
  QString path = PathIn(GetParam().FileName);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(path.toStdString(), "old contents", error));
  dialogs_.SaveAnswers.push_back(path);
  TestWriteFaults().FailAfterBytes = 10;
  GetParam().Run(nullptr, dialogs_, *doc_, boxes_);
  TestWriteFaults().FailAfterBytes = -1;
  ASSERT_EQ(dialogs_.Boxes.size(), 1u);
  EXPECT_TRUE(dialogs_.Boxes[0].Text.contains(path));
  std::string contents;
  ASSERT_TRUE(ReadWholeFile(path.toStdString(), contents, error));
  EXPECT_EQ(contents, "old contents");
  EXPECT_EQ(FilesInDir(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    BothFormats, ExportCommandTest,
    ::testing::Values(
        CommandCase{"Text", &TextFile1Click, &TextExportBytes,
                    "Export your drum tab to a text file",
                    "Tab Files (*.tab);;Text Files (*.txt);;All Files (*)", "tab", "song.tab"},
        CommandCase{"Html", &HTMLFille1Click, &HtmlExportBytes,
                    "Export your drum tab to a nice HTML file",
                    "HTML files (*.htm *.html);;All Files (*)", "html", "s\xc3\xa4ng.html"}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return std::string(info.param.Name); });

}  // namespace
