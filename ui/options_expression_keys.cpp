// The options dialog's page of expression keys: one hot-key box per ghost note, articulation,
// hi-hat foot and sticking key, kept in settings.ini (the options file's key map stays as it is).
// The key page opens it with "Expression keys..."; OK. stores, Default shows the defaults, Cancel
// leaves the keys as they were.
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>

#include "layout/key_map.h"
#include "ui/expression_keys.h"
#include "ui/hot_key_box.h"
#include "ui/options_dialog.h"

namespace {
constexpr int kExpressionButtonRow = 392;  // as every page's OK./Default/Cancel row
}  // namespace

void TFOpt::BuildExpressionPage() {
  BExpressionKeys = MakeButton(KeyTab, "BExpressionKeys", "Expression keys...", 8, 364);
  BExpressionKeys->setGeometry(8, 364, 168, 24);
  connect(BExpressionKeys, &QPushButton::clicked, this, [this] {
    page_ = ExpressionKeyPage;
    Page1->setCurrentIndex(ExpressionKeyPage);
    FormActivate();
  });

  MakeLabel(ExpressionTab, "Expression", 8, 6, 112, 20, true);
  MakeLabel(ExpressionTab, "Current key", 124, 6, 96, 20, true);
  for (std::size_t k = 0; k < ExpressionKeyBoxes.size(); ++k) {
    const int y = 30 + 24 * static_cast<int>(k);
    MakeLabel(ExpressionTab, kExpressionKeyEntries[k].Label, 8, y, 114, 21, false);
    auto* box = new HotKeyBox(ExpressionTab);
    box->setObjectName(QString("ExpressionKey%1").arg(k + 1));
    box->setGeometry(124, y, 92, 21);
    ExpressionKeyBoxes[k] = box;
  }
  MakeLabel(ExpressionTab, "A key the key map holds enters its note.", 8, 30 + 24 * 10 + 6, 260, 21, false);
  BExpressionOK = MakeButton(ExpressionTab, "BExpressionOK", "OK.", 8, kExpressionButtonRow);
  BExpressionDefault = MakeButton(ExpressionTab, "BExpressionDefault", "Default", 96, kExpressionButtonRow);
  BExpressionCancel = MakeButton(ExpressionTab, "BExpressionCancel", "Cancel", 184, kExpressionButtonRow);
  connect(BExpressionOK, &QPushButton::clicked, this, &TFOpt::ExpressionOKClick);
  connect(BExpressionDefault, &QPushButton::clicked, this, [this] {
    for (std::size_t k = 0; k < ExpressionKeyBoxes.size(); ++k)
      ExpressionKeyBoxes[k]->SetKey(kExpressionKeyEntries[k].DefaultCode);
  });
  connect(BExpressionCancel, &QPushButton::clicked, this, [this] { QDialog::done(Rejected); });
}

void TFOpt::LoadExpressionPage() {
  const ExpressionKeyTable& keys = ExpressionKeys();
  for (std::size_t k = 0; k < ExpressionKeyBoxes.size(); ++k) ExpressionKeyBoxes[k]->SetKey(keys[k]);
}

void TFOpt::ExpressionOKClick() {
  // A key that cannot be used keeps the key it had.
  ExpressionKeyTable keys = ExpressionKeys();
  for (std::size_t k = 0; k < ExpressionKeyBoxes.size(); ++k)
    if (IsAcceptedKeyCode(ExpressionKeyBoxes[k]->Key())) keys[k] = ExpressionKeyBoxes[k]->Key();
  SetExpressionKeys(keys);
  QDialog::done(Accepted);
}
