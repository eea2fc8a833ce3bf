// File > Import and Edit > "Paste tab as new song" through the window's menus.
#include <QClipboard>
#include <QGuiApplication>
#include <QScrollBar>

#include "midi/midi_container.h"
#include "midi/midi_out_file.h"
#include "midi/tab_to_midi.h"
#include "tests/ui/main_window_fixture.h"

namespace {

const char* kGroove =
    "My groove for the chorus:\n"
    "\n"
    "HH|x-x-x-x-x-x-x-x-|x-x-x-x-X-x-o-x-|\n"
    "SD|----o-------o---|----o-------o-o-|\n"
    "CB|--x---x---x---x-|--x---x---x---x-|\n"
    "BD|o-------o-o-----|o-------o-o---#-|\n";

QString WriteFile(const QString& path, const std::string& bytes) {
  std::string error;
  EXPECT_TRUE(WriteFileAtomically(path.toStdString(), bytes, error)) << error;
  return path;
}

}  // namespace

TEST_F(MainWindowTest, ImportTextTabAsksFirstThenShowsANewUnnamedModifiedSongAndItsWarnings) {
  TFmain& w = Window();
  Item("New1")->trigger();
  w.SetNote(RowSnare, 0, 0);  // an unsaved change
  Osnova* before = w.Document();
  const QString path = WriteFile(PathIn("groove.txt"), kGroove);

  // No to the unsaved-changes question leaves the song alone.
  dialogs.OpenAnswers = {path};
  dialogs.Answers = {false};
  Item("ImportText1")->trigger();
  EXPECT_EQ(w.Document(), before);
  EXPECT_EQ(dialogs.Questions(), std::vector<QString>{kOpenUnsavedQuestion});
  EXPECT_TRUE(dialogs.Messages().empty());

  dialogs.Clear();
  dialogs.OpenAnswers = {path};
  dialogs.Answers = {true};
  Item("ImportText1")->trigger();
  ASSERT_TRUE(dialogs.Drained());
  EXPECT_EQ(dialogs.Log()[0].Request.Title, "Import a text drum tab");
  Osnova& doc = *w.Document();
  ASSERT_EQ(doc.BarCount, 2);
  EXPECT_TRUE(doc.Bar(1).Rows[RowHiHat].Has(12));
  EXPECT_EQ(doc.Bar(1).Rows[RowHiHat].Cells[12], (TNoteCell{1, 0}));
  EXPECT_TRUE(doc.Bar(1).Rows[RowBass].Has(10));
  EXPECT_TRUE(doc.Modified);
  EXPECT_FALSE(doc.HasFile);
  EXPECT_EQ(w.windowTitle(), "*Grooveloom 1.0 - [ Unnamed ]");
  EXPECT_TRUE(w.DocumentShown());
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
  EXPECT_EQ(Find<QScrollBar>("ScrollBar1")->maximum(), 2);
  EXPECT_FALSE(Item("EUndo")->isEnabled());
  // Every warning in one box.
  ASSERT_EQ(dialogs.Count(ScriptedDialogService::Shown::Kind::Message), 1);
  EXPECT_EQ(dialogs.Messages()[0],
            "Line 5: the program has no row for \"CB\"; the line is left out.\n"
            "The tab's 1 choke is on a row that takes no such mark; it is read as a plain hit.");

  // The song has no file yet: Save asks for a name.
  dialogs.Clear();
  dialogs.SaveAnswers = {PathIn("groove.gvlm")};
  Item("File_3")->trigger();
  EXPECT_EQ(dialogs.Count(ScriptedDialogService::Shown::Kind::SaveFile), 1);
  EXPECT_FALSE(w.Document()->Modified);
}

TEST_F(MainWindowTest, PasteTabMakesASongFromTheClipboardOrSaysThereIsNone) {
  TFmain& w = Window();
  // Nothing usable: a box, and the window stays as it was (here: no song yet, locked).
  QGuiApplication::clipboard()->setText("Just a sentence about drums.");
  Item("PasteTab1")->trigger();
  EXPECT_EQ(dialogs.Messages(), std::vector<QString>{"No drum tab found in the text."});
  EXPECT_EQ(w.Document(), nullptr);

  dialogs.Clear();
  QGuiApplication::clipboard()->setText(
      "Tempo: 92\r\n  Hi-Hat: |x-x-x-x-x-x-|\r\n   Snare: |----O-----o-|\r\n");
  Item("PasteTab1")->trigger();
  ASSERT_NE(w.Document(), nullptr);
  EXPECT_TRUE(dialogs.Log().empty());  // no warnings, no box
  EXPECT_EQ(w.Document()->Bar(0).Length, 12);
  EXPECT_EQ(Find<QComboBox>("ETakt1")->currentText(), "3");
  EXPECT_EQ(Find<QComboBox>("Etakt2")->currentText(), "4");
  EXPECT_EQ(Find<TempoBox>("ETempo")->value(), 92);
  EXPECT_EQ(w.Document()->Bar(0).Rows[RowSnare].Cells[4], (TNoteCell{0, 1}));
  EXPECT_TRUE(w.Document()->Modified);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

  // A second paste over the modified song asks first.
  QGuiApplication::clipboard()->setText("BD|o---|\n");
  dialogs.Answers = {true};
  Item("PasteTab1")->trigger();
  EXPECT_EQ(dialogs.Questions(), std::vector<QString>{kOpenUnsavedQuestion});
  EXPECT_EQ(w.Document()->Bar(0).Length, 4);
}

TEST_F(MainWindowTest, ImportMidiReadsTheDrumChannelOrOffersAnother) {
  TFmain& w = Window();
  Osnova song(4, 2, 4);
  song.EditBar(1).Rows[RowBass].Set(8, 0, 0);
  song.EditBar(0).Rows[RowCymbals].Set(0, 2, 0);
  song.Tempo = 140;
  TMIDI_Container container;
  Convert_Tab(container, song.Bars, song.Tempo);
  TMIDI_Out_File writer;
  std::string error;
  ASSERT_TRUE(writer.Write_File(container, error));
  dialogs.OpenAnswers = {WriteFile(PathIn("song.mid"), writer.Bytes())};
  Item("ImportMidi1")->trigger();
  ASSERT_NE(w.Document(), nullptr);
  EXPECT_EQ(dialogs.Log()[0].Request.Title, "Import a MIDI file");
  EXPECT_EQ(w.Document()->BarCount, 2);
  EXPECT_EQ(w.Document()->Bar(1).Rows[RowBass], song.Bar(1).Rows[RowBass]);
  EXPECT_EQ(w.Document()->Bar(0).Rows[RowCymbals], song.Bar(0).Rows[RowCymbals]);
  EXPECT_EQ(Find<TempoBox>("ETempo")->value(), 140);
  EXPECT_EQ(dialogs.Count(ScriptedDialogService::Shown::Kind::Message), 0);

  // A drum track on channel 2: the window offers it; No leaves the song and says why.
  const std::string channel2(
      "MThd\0\0\0\x06\0\0\0\x01\0\x08MTrk\0\0\0\x08\0\x91\x26\x40\0\xFF\x2F\0", 30);
  const QString other = WriteFile(PathIn("other.mid"), channel2);
  Osnova* before = w.Document();
  dialogs.Clear();
  dialogs.OpenAnswers = {other, other};
  dialogs.Answers = {true, false, true, true};  // unsaved?, channel 2?, unsaved?, channel 2?
  Item("ImportMidi1")->trigger();
  EXPECT_EQ(w.Document(), before);
  EXPECT_EQ(dialogs.Messages(),
            std::vector<QString>{"No drum notes found on MIDI channel 10. The file "
                                 "has notes on channel 2."});
  Item("ImportMidi1")->trigger();
  ASSERT_TRUE(dialogs.Drained());
  EXPECT_EQ(
      dialogs.Questions()[1],
      "There are no drum notes on MIDI channel 10 in this file. Import the notes of channel 2 "
      "as drums?");
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowSnare].Has(0));
}

// Opened by name (File > Open, the command line, Recent Files), a MIDI file whose drums are on
// another channel is offered as File > Import offers it.
TEST_F(MainWindowTest, OpeningAMidiFileByNameOffersAnotherDrumChannel) {
  TFmain& w = Window();
  const std::string channel2(
      "MThd\0\0\0\x06\0\0\0\x01\0\x08MTrk\0\0\0\x08\0\x91\x26\x40\0\xFF\x2F\0", 30);
  dialogs.Answers = {true};
  ASSERT_TRUE(w.OpenDocumentFile(WriteFile(PathIn("other.mid"), channel2)));
  EXPECT_EQ(dialogs.Questions(),
            std::vector<QString>{"There are no drum notes on MIDI channel 10 in this file. Import "
                                 "the notes of channel 2 as drums?"});
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowSnare].Has(0));
}
