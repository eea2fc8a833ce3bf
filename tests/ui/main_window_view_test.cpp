// The window that grows and zooms: resizing lays the tab out on more bars and lines, the first size
// keeps its picture, Ctrl+wheel and Ctrl+plus/minus/0 zoom, part names appear as they are typed,
// and the size and zoom come back from settings.ini.
#include <QFrame>
#include <QScrollBar>
#include <QWheelEvent>

#include "tests/ui/main_window_fixture.h"
#include "ui/extended_settings.h"
#include "ui/view_area.h"

namespace {

class MainWindowViewTest : public MainWindowTest {
 protected:
  TFmain& WithSong(int bars) {
    TFmain& w = Window();
    Osnova song(4, static_cast<uint16_t>(bars), 4);
    EXPECT_TRUE(w.OpenDocumentFile(WriteTabFile("song.gvlm", song)));
    return w;
  }
  bool Differs(const QImage& a, const QImage& b) { return a.size() != b.size() || a != b; }
  void Close() {
    dialogs.Answers = {true};
    ASSERT_TRUE(Window().close());
    window.reset();
  }
};

TEST_F(MainWindowViewTest, ResizedTheViewShowsMoreBarsAndLinesAndTheFirstSizeItsOldPicture) {
  TFmain& w = WithSong(60);
  Osnova& doc = *w.Document();
  const QSize first = w.size();
  ASSERT_EQ(w.View()->size(), QSize(798, 369));
  EXPECT_EQ(doc.LastVisibleBar, 7);
  const QImage before = w.View()->Image().copy();
  EXPECT_FALSE(Differs(before, ExpectedPicture()));

  // The cursor somewhere inside bar 5 keeps its place in the bar as the bars move.
  w.View()->setFocus();
  Press(Qt::Key_Right, Qt::ControlModifier);  // bar 1
  for (int i = 0; i < 4; ++i) Press(Qt::Key_Right, Qt::ControlModifier);
  Press(Qt::Key_Right);
  ASSERT_EQ(doc.CurrentBar, 5);
  ASSERT_EQ(w.Cursor()->Column, 16 + 4);

  w.resize(1600, 1000);
  ASSERT_TRUE(WaitUntil([&] { return w.View()->width() > 1500 && doc.LastVisibleBar > 7; }));
  EXPECT_GE(w.View()->ViewGrid().Lines, 4);
  EXPECT_GE(doc.Bar(doc.LastVisibleBar).ViewLine, 3) << "more lines";
  EXPECT_EQ(doc.Bar(7).ViewLine, 0) << "more bars on a line";
  EXPECT_EQ(w.Cursor()->Column, doc.Bar(5).StartCol + 4);
  EXPECT_EQ(w.Cursor()->Line, doc.Bar(5).ViewLine);
  // The scroll bar and the instrument panel keep to the right and bottom edges.
  EXPECT_EQ(Find<QScrollBar>("ScrollBar1")->geometry().right(), w.centralWidget()->width() - 1);
  EXPECT_EQ(Find<QFrame>("Panel7")->geometry().bottom(), w.centralWidget()->height() - 2);
  // A click far right and low lands on its bar.
  const TBar& far = doc.Bar(doc.LastVisibleBar);
  QTest::mouseClick(w.View(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(81 + 11 * (far.StartCol + 2) + 4, 180 * far.ViewLine + 55));
  EXPECT_EQ(doc.CurrentBar, doc.LastVisibleBar);

  w.resize(first);
  ASSERT_TRUE(WaitUntil([&] { return w.View()->width() == 798 && doc.LastVisibleBar - doc.FirstVisibleBar == 7; }));
  EXPECT_FALSE(Differs(w.View()->Image(), ExpectedPicture()));
}

TEST_F(MainWindowViewTest, CtrlKeysAndCtrlWheelZoomAndTheKeypadStillInsertsBars) {
  TFmain& w = WithSong(12);
  TabView* view = w.View();
  w.View()->setFocus();
  Press(Qt::Key_Plus, Qt::ControlModifier);
  EXPECT_EQ(view->ZoomPercent(), 110);
  Press(Qt::Key_Equal, Qt::ControlModifier);
  EXPECT_EQ(view->ZoomPercent(), 125);
  Press(Qt::Key_Minus, Qt::ControlModifier);
  EXPECT_EQ(view->ZoomPercent(), 110);
  EXPECT_EQ(ExtendedSettings().Value(settings_keys::kZoomPercent), 110);
  for (int i = 0; i < 20; ++i) Press(Qt::Key_Minus, Qt::ControlModifier);
  EXPECT_EQ(view->ZoomPercent(), 50);
  // Zoomed out, the same window shows more bars; the picture is a full one.
  EXPECT_GT(w.Document()->LastVisibleBar, 7);
  Press(Qt::Key_0, Qt::ControlModifier);
  EXPECT_EQ(view->ZoomPercent(), 100);
  EXPECT_EQ(w.Document()->LastVisibleBar, 7);
  EXPECT_FALSE(Differs(view->Image(), ExpectedPicture()));

  QWheelEvent up(QPointF(100, 100), view->mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, 120),
                 Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view, &up);
  EXPECT_EQ(view->ZoomPercent(), 110);
  // A touchpad's small steps zoom once they add up to a notch.
  QWheelEvent small(QPointF(100, 100), view->mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, -40),
                    Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view, &small);
  QApplication::sendEvent(view, &small);
  EXPECT_EQ(view->ZoomPercent(), 110);
  QApplication::sendEvent(view, &small);
  EXPECT_EQ(view->ZoomPercent(), 100);
  QApplication::sendEvent(view, &up);
  EXPECT_EQ(view->ZoomPercent(), 110);
  EXPECT_EQ(w.Document()->CurrentBar, 0) << "Ctrl+wheel does not scroll";

  const int bars = w.Document()->BarCount;
  Press(Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
  EXPECT_EQ(w.Document()->BarCount, bars + 1) << "Ctrl+keypad plus inserts a bar";
  EXPECT_EQ(view->ZoomPercent(), 110);
  // At 300 % two lines of 64 columns do not fit the window: the part shown follows the cursor.
  for (int i = 0; i < 10; ++i) Press(Qt::Key_Plus, Qt::ControlModifier);
  ASSERT_EQ(view->ZoomPercent(), 300);
  for (int i = 0; i < 7; ++i) {
    Press(Qt::Key_Right, Qt::ControlModifier);
    const TCursor c = *w.Cursor();
    // The box (taller than the window at 300 %) is seen from its top, its whole width.
    const QRect area = view->VisibleArea();
    ASSERT_LE(area.left(), 81 + 11 * c.Column) << i;
    ASSERT_GE(area.right(), 91 + 11 * c.Column) << i;
    ASSERT_LE(area.top(), 180 * c.Line + 40) << i;
    ASSERT_GE(area.bottom(), 180 * c.Line + 60) << i;
  }
  EXPECT_GT(view->VisibleArea().left(), 0);
  // A click lands on what is under the pointer: the middle of a column left of the cursor's.
  const QRect area = view->VisibleArea();
  const TCursor before = *w.Cursor();
  const int column = (area.left() - 81) / 11 + 2;
  ASSERT_LT(column, before.Column);
  QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier,
                    QPoint((81 + 11 * column + 5 - area.left()) * 3, (180 * before.Line + 55 - area.top()) * 3));
  EXPECT_EQ(w.Cursor()->Column, column);
}

TEST_F(MainWindowViewTest, ATypedPartNameAppearsAboveItsBarAtOnce) {
  TFmain& w = WithSong(12);
  w.View()->setFocus();
  for (int i = 0; i < 5; ++i) Press(Qt::Key_Right, Qt::ControlModifier);
  const QImage before = w.View()->Image().copy();
  TypeAndLeave(Find<QComboBox>("cbSong"), "Chorus");
  ASSERT_EQ(w.Document()->SongParts.size(), 1u);
  const QImage after = w.View()->Image().copy();
  EXPECT_TRUE(Differs(before, after));
  EXPECT_FALSE(Differs(after, ExpectedPicture()));
}

TEST_F(MainWindowViewTest, SizeAndZoomComeBackFromSettings) {
  {
    TFmain& w = Window();
    w.resize(1000, 700);
    ASSERT_TRUE(WaitUntil([&] { return w.size() == QSize(1000, 700); }));
    w.View()->SetZoomPercent(150);
    ZoomView(w.View(), -1);
    Close();
  }
  TFmain& w = Window();
  EXPECT_EQ(w.size(), QSize(1000, 700));
  EXPECT_EQ(w.View()->ZoomPercent(), 125);
}

}  // namespace
