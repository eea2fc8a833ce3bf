// The "MIDI Demo" window and the event list, driven as the user would: export, read the list,
// save through the scripted file dialog, close.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include <filesystem>
#include <unistd.h>

#include "bench/groove_song.h"
#include "common/atomic_file.h"
#include "midi/midi_out_file.h"
#include "tests/ui/scripted_dialogs.h"
#include "ui/demo_form.h"
#include "ui/event_list_window.h"
#include "tests/test_folder.h"

namespace {

namespace fs = std::filesystem;

class MidiWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<TDemo_Form>(dialogs);
  }
  void TearDown() override {
    form.reset();
    fs::remove_all(dir);
    dialogs.VerifyAllExpected();
  }

  QStringList Row(int row) {
    QStringList cells;
    auto* model = form->EventList()->Model();
    for (int c = 0; c < model->columnCount(); ++c)
      cells << model->data(model->index(row, c), Qt::DisplayRole).toString();
    return cells;
  }
  QPushButton* SaveButton() { return form->findChild<QPushButton*>("Save_Button"); }
  std::string Read(const fs::path& p) {
    std::string bytes, error;
    EXPECT_TRUE(ReadWholeFile(p.string(), bytes, error)) << error;
    return bytes;
  }

  ScriptedDialogService dialogs;
  std::unique_ptr<TDemo_Form> form;
  TestFolder dir;
};

std::unique_ptr<Osnova> BassDrumBar() {
  auto doc = std::make_unique<Osnova>(4, 1, 4);
  doc->EditBar(0).Rows[RowBass].Set(0, 0, 0);
  doc->EditBar(0).Rows[RowBass].Set(8, 0, 0);
  return doc;
}

}  // namespace

TEST_F(MidiWindows, ExportShowsBothWindowsAndTheEventRows) {
  auto doc = BassDrumBar();
  form->ExportTab(*doc, 120);
  EventListWindow* list = form->EventList();
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(list->isVisible());
  EXPECT_EQ(form->windowTitle(), "MIDI Demo");
  EXPECT_EQ(form->size(), QSize(230, 90));
  EXPECT_EQ(SaveButton()->text(), "Save MIDI file");
  EXPECT_EQ(list->windowTitle(), "List of MIDI events");
  EXPECT_EQ(list->size(), QSize(277, 437));

  auto* model = list->Model();
  ASSERT_EQ(model->rowCount(), 28);
  QStringList headers;
  for (int c = 0; c < 6; ++c)
    headers << model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
  EXPECT_EQ(headers, (QStringList{"Time", "Channel", "Event", "Byte 1", "Byte 2", "Text"}));
  QHeaderView* header = list->View()->horizontalHeader();
  const std::array widths{35, 35, 40, 42, 42, 200};  // at least; a wider heading widens its column
  for (int c = 0; c < 6; ++c) EXPECT_GE(header->sectionSize(c), widths[static_cast<size_t>(c)]);
  EXPECT_EQ(header->sectionSize(5), 200) << "Text";
  auto align = [&](int c) {
    return model->data(model->index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>() &
           Qt::AlignHorizontal_Mask;
  };
  EXPECT_EQ(align(0), Qt::AlignLeft);
  for (int c = 1; c <= 4; ++c) EXPECT_EQ(align(c), Qt::AlignRight) << c;
  EXPECT_EQ(align(5), Qt::AlignLeft);

  EXPECT_EQ(Row(0), (QStringList{"0", "10", "255", "3", "1", "x"}));
  EXPECT_EQ(Row(1), (QStringList{"0", "10", "255", "4", "1", "0"}));
  EXPECT_EQ(Row(2), (QStringList{"0", "10", "201", "0", "0", ""}));
  EXPECT_EQ(Row(21),
            (QStringList{"0", "10", "255", "3", "33", "Drum Tab MIDI made with GroovePad"}));
  EXPECT_EQ(Row(22), (QStringList{"0", "10", "255", "4", "13", "Instrument 49"}));
  EXPECT_EQ(Row(24), (QStringList{"0", "10", "153", "36", "94", ""}));
  EXPECT_EQ(Row(27), (QStringList{"36", "10", "153", "36", "0", ""}));
  EXPECT_EQ(list->ProgressBar()->value(), list->ProgressBar()->maximum());

  QTableView* view = list->View();
  EXPECT_TRUE(view->showGrid());
  EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST_F(MidiWindows, ExportingAgainReplacesTheEventsAndClosingEmptiesThem) {
  auto doc = BassDrumBar();
  form->ExportTab(*doc, 120);
  form->ExportTab(*doc, 90);
  EXPECT_EQ(form->Container().Count(), 28);
  EXPECT_EQ(form->EventList()->Model()->rowCount(), 28);
  EXPECT_EQ(form->Container().Beats_Per_Minute(), 90);

  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(form->EventList()->isVisible());
  EXPECT_EQ(form->Container().Count(), 0);
  EXPECT_EQ(form->Container().Channels_Used(), 0);
  EXPECT_EQ(form->EventList()->Model()->rowCount(), 0);

  form->ExportTab(*doc, 120);
  EXPECT_TRUE(form->EventList()->isVisible());
  EXPECT_EQ(Row(24), (QStringList{"0", "10", "153", "36", "94", ""}));
}

TEST_F(MidiWindows, SaveWritesTheFileThroughTheSaveDialog) {
  auto doc = BassDrumBar();
  form->ExportTab(*doc, 120);
  fs::path target = dir / "groove.mid";
  dialogs.SaveAnswers.push_back(QString::fromStdString(target.string()));
  QTest::mouseClick(SaveButton(), Qt::LeftButton);
  ASSERT_EQ(dialogs.Count(ScriptedDialogService::Shown::Kind::SaveFile), 1);
  const FileDialogSpec& request = dialogs.Log()[0].Request;
  EXPECT_EQ(request.Filter, "Midi file (*.mid);;Any file (*)");
  EXPECT_EQ(request.DefaultSuffix, "mid");
  EXPECT_EQ(request.InitialFolder, ".");
  EXPECT_TRUE(request.ConfirmOverwrite);
  EXPECT_TRUE(dialogs.Messages().empty());

  TMIDI_Out_File expected;
  std::string error;
  ASSERT_TRUE(expected.Write_File(form->Container(), error));
  EXPECT_EQ(Read(target), expected.Bytes());

  // Cancelled: nothing written, nothing said.
  fs::remove(target);
  dialogs.SaveAnswers.push_back(std::nullopt);
  form->Save_ButtonClick();
  EXPECT_FALSE(fs::exists(target));
  EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(MidiWindows, FailedSaveNamesTheFileAndTheReasonAndKeepsTheOldFile) {
  auto doc = BassDrumBar();
  form->ExportTab(*doc, 120);
  fs::path missing = dir / "no-such-folder" / "song.mid";
  dialogs.SaveAnswers.push_back(QString::fromStdString(missing.string()));
  form->Save_ButtonClick();
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(dialogs.Log().back().BoxIcon, DialogService::Icon::Error);
  EXPECT_EQ(dialogs.Messages()[0], QString("Cannot write \"%1\": No such file or directory")
                                       .arg(QString::fromStdString(missing.string())));

  fs::path target = dir / "old.mid";
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(target.string(), "old bytes", error));
  TestWriteFaults().FailAfterBytes = 10;
  dialogs.SaveAnswers.push_back(QString::fromStdString(target.string()));
  form->Save_ButtonClick();
  TestWriteFaults().FailAfterBytes = -1;
  EXPECT_EQ(dialogs.Messages().size(), 2u);
  EXPECT_EQ(Read(target), "old bytes");
}

TEST_F(MidiWindows, ListShowsEveryEventOfALongSong) {
  auto doc = MakeGrooveSong(2000);  // 96000 events, far beyond a 16-bit row index
  form->ExportTab(*doc, 120);
  auto* model = form->EventList()->Model();
  ASSERT_EQ(model->rowCount(), 96000);
  EXPECT_EQ(Row(0)[5], "x");
  // The last event is the note-off of the last bar's last hi-hat note.
  const TMIDI_Event* last = form->Container().Event_At(95999);
  EXPECT_EQ(Row(95999)[0], QString::number(last->Event_Time()));
  EXPECT_EQ(Row(95999)[0], QString::number(1999 * 32 + 2 * 14 + 20));
  QTableView* view = form->EventList()->View();
  view->scrollToBottom();
  view->selectRow(95999);
  EXPECT_EQ(view->selectionModel()->selectedRows().size(), 1);
  EXPECT_GT(view->rowAt(view->viewport()->height() - 2), 90000);
}

TEST_F(MidiWindows, BareEventMessageGoesToABox) {
  TMIDI_Event bare(0, 0, 1, 0x90, 0, 0);
  EXPECT_EQ(bare.Size(), 0);
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(dialogs.Messages()[0], "Size may not be called at level of TMIDI_Event");
  form.reset();
  EXPECT_EQ(bare.Size(), 0);  // the form is gone: no box any more
  EXPECT_EQ(dialogs.Messages().size(), 1u);
}

// Every heading fits its column ("Channel" used to show as "annel"). Column widths are in logical
// pixels, so what fits at 1x fits at 2x too.
TEST_F(MidiWindows, EveryColumnHeadingFitsItsColumn) {
  EventListWindow* list = form->EventList();
  list->show();
  QHeaderView* header = list->findChild<QTableView*>("Event_View")->horizontalHeader();
  const int margins = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
  for (int c = 0; c < header->count(); ++c) {
    const QString title = header->model()->headerData(c, Qt::Horizontal).toString();
    EXPECT_GE(header->sectionSize(c), header->fontMetrics().horizontalAdvance(title) + margins)
        << title.toStdString();
  }
  list->close();
}
