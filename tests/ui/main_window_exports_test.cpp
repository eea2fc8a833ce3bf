// The export commands of the window: menu items and tool buttons write through their dialogs with
// the timing and tempo the boxes show.
#include <QScrollBar>

#include "common/atomic_file.h"
#include "files/convert.h"
#include "files/musicxml_export.h"
#include "files/tab_export.h"
// GCC 12 at -O2 sees an uninitialised QString inside std::optional in the scripted dialogs' queue
// in this file only (a false positive of its inliner).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "tests/ui/main_window_fixture.h"
#pragma GCC diagnostic pop
#include "midi/tab_midi_file.h"
#include "ui/demo_form.h"

TEST_F(MainWindowTest, TextAndHtmlExportsWriteTheSongWithTheBoxesTimingAndTempo) {
  TFmain& w = Window();
  Osnova song(4, 3, 4);
  song.EditBar(1).Length = 6;
  song.EditBar(1).Denominator = 8;
  song.EditBar(1).Rows[RowSnare].Set(2, 0, 1);
  dialogs.OpenAnswers = {WriteTabFile("song.gvlm", song)};
  w.OpenDocument();
  Find<QScrollBar>("ScrollBar1")->setValue(2);  // the 3/8 bar: the boxes show its timing
  TypeAndLeave(Find<TempoBox>("ETempo"), "90");
  const ExportBoxes boxes{"3", "8", "90"};

  struct Route {
    QAction* Item;
    QToolButton* Button;
    bool Html;
  };
  const Route routes[] = {{Find<QAction>("TextFile1"), nullptr, false},
                          {nullptr, Find<QToolButton>("SpeedButton7"), false},
                          {Find<QAction>("HTMLFille1"), nullptr, true},
                          {nullptr, Find<QToolButton>("SpeedButton8"), true}};
  int n = 0;
  for (const Route& route : routes) {
    const QString path = PathIn(QString("export%1.%2").arg(++n).arg(route.Html ? "html" : "tab"));
    dialogs.SaveAnswers.push_back(path);
    if (route.Item) {
      route.Item->trigger();
    } else {
      route.Button->click();
    }
    const std::string expected = route.Html ? HtmlExportBytes(*w.Document(), boxes)
                                            : TextExportBytes(*w.Document(), boxes);
    EXPECT_EQ(Contents(path).toStdString(), expected) << "route " << n;
    EXPECT_EQ(dialogs.Log().back().Title, route.Html ? "Export your drum tab to a nice HTML file"
                                                   : "Export your drum tab to a text file")
        << "route " << n;
  }
  EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(MainWindowTest, TextExportOfABarTheBoxesCannotShowMatchesTheCommandLine) {
  TFmain& w = Window();
  Osnova song(4, 2, 4);
  song.EditBar(0).Length = 3;  // three sixteenths in quarters: the numerator box stays empty
  song.EditBar(0).Rows[RowSnare].Set(1, 0, 0);
  const QString in = WriteTabFile("odd.gvlm", song);
  dialogs.OpenAnswers = {in};
  w.OpenDocument();
  const QString windowOut = PathIn("window.tab");
  dialogs.SaveAnswers.push_back(windowOut);
  Find<QAction>("TextFile1")->trigger();
  std::string message;
  const QString lineOut = PathIn("line.tab");
  ASSERT_EQ(ConvertTabFile(in.toStdString(), lineOut.toStdString(), message), 0) << message;
  EXPECT_TRUE(Contents(windowOut).contains("Timing  :  /4\r\n"));
  EXPECT_EQ(Contents(lineOut), Contents(windowOut));
}

TEST_F(MainWindowTest, MusicXmlExportWritesThePlainOrTheCompressedScoreByTheName) {
  TFmain& w = Window();
  Osnova song(4, 2, 4);
  song.EditBar(1).Rows[RowSnare].Set(2, 0, 1);
  dialogs.OpenAnswers = {WriteTabFile("song.gvlm", song)};
  w.OpenDocument();
  ASSERT_EQ(Find<QAction>("MusicXMLFile1")->text(), "Music&XML File");

  const QString plain = PathIn("song.musicxml"), packed = PathIn("song.MXL");
  dialogs.SaveAnswers = {plain, packed};
  Find<QAction>("MusicXMLFile1")->trigger();
  EXPECT_EQ(dialogs.Log().back().Title, "Export your drum tab to a MusicXML file");
  EXPECT_EQ(dialogs.Log().back().Request.DefaultSuffix, "musicxml");
  const QByteArray written = Contents(plain);
  EXPECT_EQ(written.toStdString(), MusicXmlBytes(*w.Document()));
  Find<QAction>("MusicXMLFile1")->trigger();
  EXPECT_TRUE(Contents(packed).startsWith("PK\x03\x04"));
  EXPECT_TRUE(dialogs.Messages().empty());

  // A disk that fills up: a message naming the file, and the old file stays as it was.
  TestWriteFaults().FailAfterBytes = 100;
  dialogs.SaveAnswers = {plain};
  Find<QAction>("MusicXMLFile1")->trigger();
  TestWriteFaults().FailAfterBytes = -1;
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_TRUE(dialogs.Messages()[0].contains(plain));
  EXPECT_EQ(Contents(plain), written);
  EXPECT_TRUE(dialogs.Drained());
}

// An imported 17/16 bar: the numerator box shows 17 (one item past its list, only while needed),
// and the text export writes it.
TEST_F(MainWindowTest, NumeratorPastSixteenIsShownAndExported) {
  TFmain& w = Window();
  Osnova song(4, 2, 4);
  song.EditBar(0).Length = 17;
  song.EditBar(0).Denominator = 16;
  song.EditBar(0).Rows[RowSnare].Set(16, 0, 0);
  dialogs.OpenAnswers = {WriteTabFile("long.gvlm", song)};
  w.OpenDocument();
  EXPECT_EQ(Find<QComboBox>("ETakt1")->currentText(), "17");
  EXPECT_EQ(Find<QComboBox>("Etakt2")->currentText(), "16");
  const QString out = PathIn("long.tab");
  dialogs.SaveAnswers.push_back(out);
  Find<QAction>("TextFile1")->trigger();
  EXPECT_TRUE(Contents(out).contains("Timing  :  17/16\r\n"));
  // Choosing 17 again keeps the bar as it is; a bar of the list's timings drops the extra item.
  Find<QComboBox>("ETakt1")->activated(Find<QComboBox>("ETakt1")->currentIndex());
  EXPECT_EQ(w.Document()->Bar(0).Length, 17);
  EXPECT_TRUE(dialogs.Messages().empty());
  Osnova plain(4, 1, 4);
  dialogs.OpenAnswers = {WriteTabFile("plain.gvlm", plain)};
  w.OpenDocument();
  EXPECT_EQ(Find<QComboBox>("ETakt1")->count(), 16);
  EXPECT_EQ(Find<QComboBox>("ETakt1")->currentText(), "4");
}

// The MIDI export writes the file from a save dialog, as the other exports do: the song at the
// tempo box's tempo, byte for byte the core's MIDI file of the bars.
TEST_F(MainWindowTest, MidiExportButtonAndItemWriteTheFileFromASaveDialog) {
  TFmain& w = Window();
  TDemo_Form demo(dialogs, &w);
  w.SetDemoForm(&demo);
  w.NewDocument();
  Press(Qt::Key_Z);
  TypeAndLeave(Find<TempoBox>("ETempo"), "75");
  dialogs.SaveAnswers = {PathIn("song.mid"), std::nullopt};
  Find<QToolButton>("SpeedButton6")->click();
  ASSERT_EQ(dialogs.Log().size(), 1u);
  EXPECT_EQ(dialogs.Log()[0].Title, "Export your drum tab to a MIDI file");
  EXPECT_EQ(dialogs.Log()[0].Request.DefaultSuffix, "mid");
  EXPECT_EQ(Contents(PathIn("song.mid")),
            QByteArray::fromStdString(TabMidiFileBytes(w.Document()->Bars, 75)));
  EXPECT_FALSE(demo.isVisible()) << "the demo window is the Tools menu's";

  Item("MIDIFile1")->trigger();  // cancelled: nothing written, nothing reported
  EXPECT_EQ(dialogs.Log().size(), 2u);
  EXPECT_TRUE(dialogs.Messages().empty());
}
