// Ghost notes, articulations, the hi-hat foot and the sticking at the cursor: keys, the buttons of
// the instrument panel's "Expression" box, and the command both run.
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>

#include "model/expressive_notes.h"
#include "ui/expression_keys.h"
#include "ui/key_translation.h"
#include "ui/main_window.h"
#include "ui/main_window_playback.h"
#include "ui/tab_view.h"

void TFmain::ExpressionCommand(ExpressionKind kind) {
  if (!DocumentShown() || !Cursor()) return;
  Osnova& doc = *Document();
  const int position = Cursor()->Column - doc.Current().StartCol;
  const std::string what = ExpressionName(kind);
  const ExpressionEdit edit = session_.Edit(what.c_str(), [&](auto push) {
    return ToggleExpression(doc, doc.CurrentBar, position, kind, push);
  });
  if (!edit.Changed) return;  // no note there takes it: nothing happens, as for a hidden row
  // Hidden first: the box's edges lie on the bar's lines, which the redraw paints again.
  ToggleCursorBox();
  i1->RedrawBar(doc, doc.Current());
  RefreshBarControls();
}

bool TFmain::ExpressionKey(const QKeyEvent& key) {
  const Qt::KeyboardModifiers mods = key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (mods != Qt::NoModifier) return false;
  const int kind = ExpressionKindOfKey(VirtualKeyOf(key));
  if (kind < 0) return false;
  ExpressionCommand(static_cast<ExpressionKind>(kind));
  return true;
}

void TFmain::BuildExpressionPanel() {
  // Beside the instrument buttons, in the same bottom panel, so it moves with it.
  Panel7->resize(798, Panel7->height());
  auto* box = new QGroupBox("Expression", Panel7);
  box->setObjectName("GroupBoxExpression");
  box->setGeometry(418, 0, 378, 90);
  struct Button {
    const char* Name;
    const char* Caption;
    ExpressionKind Kind;
    int X, Y, Width;
  };
  const Button buttons[] = {
      {"BGhost", "Ghost", ExpressionKind::Ghost, 3, 16, 60},
      {"BFlam", "Flam", ExpressionKind::Flam, 64, 16, 60},
      {"BDrag", "Drag", ExpressionKind::Drag, 125, 16, 60},
      {"BRoll", "Roll", ExpressionKind::Roll, 186, 16, 60},
      {"BChoke", "Choke", ExpressionKind::Choke, 247, 16, 60},
      {"BBell", "Bell", ExpressionKind::Bell, 308, 16, 60},
      {"BFoot", "HH foot", ExpressionKind::Foot, 3, 50, 70},
      {"BStickRight", "R", ExpressionKind::StickRight, 186, 50, 30},
      {"BStickLeft", "L", ExpressionKind::StickLeft, 217, 50, 30},
      {"BStickBoth", "B", ExpressionKind::StickBoth, 248, 50, 30},
  };
  auto* sticking = new QLabel("Sticking", box);
  sticking->setGeometry(130, 54, 54, 14);
  for (const Button& b : buttons) {
    auto* button = new QToolButton(box);
    button->setObjectName(b.Name);
    button->setText(b.Caption);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(b.X, b.Y, b.Width, 22);
    const int code = ExpressionKeys()[static_cast<std::size_t>(b.Kind)];
    button->setToolTip(QString("%1 (%2)").arg(QString::fromLatin1(ExpressionName(b.Kind))).arg(QChar(code)));
    const ExpressionKind kind = b.Kind;
    connect(button, &QToolButton::clicked, this, [this, kind] { ExpressionCommand(kind); });
  }
}
