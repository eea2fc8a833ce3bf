// The export commands of the window: menu items and tool buttons write through their dialogs with
// the timing and tempo the boxes show.
#include <QScrollBar>

#include "files/tab_export.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/demo_form.h"

TEST_F(MainWindowTest, TextAndHtmlExportsWriteTheSongWithTheBoxesTimingAndTempo) {
  TFmain& w = Window();
  Osnova song(4, 3, 4);
  song.Bar(1).Length = 6;
  song.Bar(1).Denominator = 8;
  song.Bar(1).Rows[RowSnare].Set(2, 0, 1);
  dialogs.OpenAnswers = {WriteTabFile("song.gvlm", song)};
  w.OpenDocument();
  w.ScrollBar1->setValue(2);  // the 3/8 bar: the boxes show its timing
  TypeAndLeave(w.ETempo, "90");
  const ExportBoxes boxes{"3", "8", "90"};

  struct Route {
    const char* Name;
    std::function<void()> Run;
    bool Html;
  };
  const Route routes[] = {
      {"TextFile1", [&] { w.TextFile1->trigger(); }, false},
      {"SpeedButton7", [&] { w.SpeedButton7->click(); }, false},
      {"HTMLFille1", [&] { w.HTMLFille1->trigger(); }, true},
      {"SpeedButton8", [&] { w.SpeedButton8->click(); }, true},
  };
  for (const Route& route : routes) {
    const QString path = PathIn(QString(route.Name) + (route.Html ? ".html" : ".tab"));
    dialogs.SaveAnswers = {path};
    route.Run();
    const std::string expected = route.Html ? HtmlExportBytes(*w.Document(), boxes)
                                            : TextExportBytes(*w.Document(), boxes);
    EXPECT_EQ(Contents(path).toStdString(), expected) << route.Name;
    EXPECT_EQ(dialogs.Log.back().Title, route.Html ? "Export your drum tab to a nice HTML file"
                                                   : "Export your drum tab to a text file")
        << route.Name;
  }
  EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(MainWindowTest, MidiExportButtonRunsTheDemoWindowsExport) {
  TFmain& w = Window();
  TDemo_Form demo(dialogs, &w);
  w.SetDemoForm(&demo);
  w.NewDocument();
  Press(Qt::Key_Z);
  TypeAndLeave(w.ETempo, "75");
  w.SpeedButton6->click();
  EXPECT_TRUE(demo.isVisible());
  EXPECT_EQ(demo.Container().Beats_Per_Minute(), 75);
  const int events = demo.Container().Count();
  w.SpeedButton6->click();
  EXPECT_EQ(demo.Container().Count(), events) << "a second export starts from an empty list";

  dialogs.SaveAnswers = {PathIn("song.mid")};
  demo.Save_ButtonClick();
  EXPECT_TRUE(Contents(PathIn("song.mid")).startsWith("MThd"));
  demo.close();
}
