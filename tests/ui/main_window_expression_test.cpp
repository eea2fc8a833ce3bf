// Ghost notes, articulations, the hi-hat foot and the sticking through the real window: each by its
// key and by its button, undone, and drawn.
#include <QToolButton>

#include "common/atomic_file.h"
#include "files/tab_file.h"
#include "files/tab_file_extension.h"
#include "model/expressive_notes.h"
#include "tests/ui/main_window_fixture.h"

namespace {


struct Ink {
  int Black = 0, Grey = 0;
};
// The pixels of a text cell at view column `column` of line 0 whose top is `top`, leaving out the
// staff line at `skipY`.
Ink CellInk(const QImage& img, int column, int top, int skipY = -1) {
  Ink ink;
  for (int y = top; y <= top + 12; ++y)
    for (int x = 82 + 11 * column; x <= 90 + 11 * column; ++x) {
      if (y == skipY) continue;
      const QRgb p = img.pixel(x, y);
      if (p == 0xFFFFFFFFu) continue;
      (qGray(p) < 40 ? ink.Black : ink.Grey) += 1;
    }
  return ink;
}

Ink NoteInk(const QImage& img, const Osnova& doc, int column, int row) {
  const int H = LineHeightOf(doc);
  return CellInk(img, column, view::LetterY(H, 0, doc.LineOfRow[row] - 1), view::StaffY(H, 0, doc.LineOfRow[row] - 1));
}

}  // namespace

TEST_F(MainWindowTest, EachExpressionByKeyAndButtonIsOneNamedUndoStepAndIsDrawn) {
  TFmain& w = Window();
  w.NewDocument();
  // Undo puts another document in place: read it afresh each time.
  const auto D = [&]() -> Osnova& { return *w.Document(); };
  Press(Qt::Key_S);  // a snare on position 0
  Press(Qt::Key_1);  // and a crash
  const std::string plain = [&] {
    std::string s;
    const TBar& b = D().Bar(0);
    for (const auto& row : b.Rows) s += std::to_string(row.Notes) + ",";
    return s;
  }();
  auto cell = [&](int row) { return D().Bar(0).Rows[row].Cells[0]; };
  const Ink plainSnare = NoteInk(w.View()->Image(), D(), 0, RowSnare);
  ASSERT_GT(plainSnare.Black, 0);

  struct Case {
    ExpressionKind Kind;
    int Key;
    const char* Button;
  };
  const Case cases[] = {
      {ExpressionKind::Ghost, Qt::Key_G, "BGhost"},     {ExpressionKind::Flam, Qt::Key_H, "BFlam"},
      {ExpressionKind::Drag, Qt::Key_D, "BDrag"},       {ExpressionKind::Roll, Qt::Key_V, "BRoll"},
      {ExpressionKind::Choke, Qt::Key_C, "BChoke"},     {ExpressionKind::Bell, Qt::Key_B, "BBell"},
      {ExpressionKind::Foot, Qt::Key_P, "BFoot"},       {ExpressionKind::StickRight, Qt::Key_J, "BStickRight"},
      {ExpressionKind::StickLeft, Qt::Key_K, "BStickLeft"}, {ExpressionKind::StickBoth, Qt::Key_N, "BStickBoth"},
  };
  const QImage before = w.View()->Image().copy();
  for (const Case& c : cases) {
    const std::string name = ExpressionName(c.Kind);
    auto entered = [&] {
      switch (c.Kind) {
        case ExpressionKind::Ghost: return cell(RowSnare).Ghost == 1 && cell(RowCymbals).Ghost == 1;
        case ExpressionKind::Choke:
        case ExpressionKind::Bell: return cell(RowCymbals).Style == static_cast<uint8_t>(StyleOf(c.Kind));
        case ExpressionKind::Foot: return D().Bar(0).FootNotes == 1u;
        case ExpressionKind::StickRight:
        case ExpressionKind::StickLeft:
        case ExpressionKind::StickBoth: return D().Bar(0).Sticking[0] == StickingLetter(c.Kind);
        default: return cell(RowSnare).Style == static_cast<uint8_t>(StyleOf(c.Kind));
      }
    };
    for (bool byKey : {true, false}) {
      if (byKey)
        Press(c.Key);
      else
        Find<QToolButton>(c.Button)->click();
      ASSERT_TRUE(entered()) << name << (byKey ? " by key" : " by button");
      EXPECT_TRUE(D().Modified);
      EXPECT_EQ(Item("EUndo")->toolTip().toStdString(), "Undo " + name);
      EXPECT_NE(w.View()->Image(), before) << name << " not drawn";
      EXPECT_EQ(w.View()->Image(), ExpectedPicture()) << name;
      const QImage image = w.View()->Image();
      const int H = LineHeightOf(D());
      const int below = view::LetterY(H, 0, ShownInstrumentRows(D()));
      switch (c.Kind) {
        case ExpressionKind::Ghost:
          // The letter is there, in grey: no black left in its cell.
          EXPECT_EQ(NoteInk(image, D(), 0, RowSnare).Black, 0);
          EXPECT_GT(NoteInk(image, D(), 0, RowSnare).Grey, 0);
          break;
        case ExpressionKind::Foot:
          EXPECT_GT(CellInk(image, 0, below).Black, 0);
          break;
        case ExpressionKind::StickRight:
        case ExpressionKind::StickLeft:
        case ExpressionKind::StickBoth:
          EXPECT_GT(CellInk(image, 0, below + kStickingBelowFoot).Black, 0);
          break;
        default:
          break;
      }
      Find<QToolButton>("BUndo")->click();
      EXPECT_FALSE(entered()) << name << " undone";
      EXPECT_EQ(w.View()->Image(), before) << name << " undone";
    }
  }
  // The articulation letters differ from the note's: a flam on the snare draws an f, not an o.
  Press(Qt::Key_H);
  EXPECT_NE(NoteInk(w.View()->Image(), D(), 0, RowSnare).Black, plainSnare.Black);
  // A key with nothing to change (a flam where no drum is) changes nothing and takes no undo step.
  Press(Qt::Key_Right);
  const int steps = w.History().Current();
  Press(Qt::Key_H);
  EXPECT_EQ(w.History().Current(), steps);
  std::string now;
  for (const auto& row : D().Bar(0).Rows) now += std::to_string(row.Notes) + ",";
  EXPECT_EQ(now, plain);
}

// A file whose extension block is damaged opens with its plain notes and a warning box; the same
// file undamaged opens silently with everything.
TEST_F(MainWindowTest, DamagedExpressionBlockOpensAsPlainNotesWithAWarning) {
  Osnova song(4, 2, 4);
  song.EditBar(0).Rows[RowSnare].Set(4, 0, 0);
  song.EditBar(0).Rows[RowSnare].Cells[4].Style = static_cast<uint8_t>(NoteStyle::Flam);
  song.EditBar(1).FootNotes = 0x11;
  std::string bytes = WriteTabBytes(song), error;
  const QString good = folder.path() + "/good.gvlm", bad = folder.path() + "/bad.gvlm";
  ASSERT_TRUE(WriteFileAtomically(good.toStdString(), bytes, error)) << error;
  bytes.back() = static_cast<char>(bytes.back() ^ 1);  // the last record byte: the checksum fails
  ASSERT_TRUE(WriteFileAtomically(bad.toStdString(), bytes, error)) << error;

  TFmain& w = Window();
  ASSERT_TRUE(w.OpenDocumentFile(good));
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_EQ(w.Document()->Bar(0).Rows[RowSnare].Cells[4].Style, static_cast<uint8_t>(NoteStyle::Flam));
  EXPECT_EQ(w.Document()->Bar(1).FootNotes, 0x11u);

  ASSERT_TRUE(w.OpenDocumentFile(bad));
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(dialogs.Messages()[0].toStdString(), kDamagedExtensionMessage);
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowSnare].Has(4));
  EXPECT_EQ(w.Document()->Bar(0).Rows[RowSnare].Cells[4].Style, 0);
  EXPECT_EQ(w.Document()->Bar(1).FootNotes, 0u);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
}
