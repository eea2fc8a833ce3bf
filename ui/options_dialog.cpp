#include "ui/options_dialog.h"

TFOpt::TFOpt(QWidget* parent) : QDialog(parent) {
  setObjectName("FOpt");
  setWindowTitle("Options");
  setFixedSize(420, 320);
}

void TFOpt::ShowPage(int page) {
  page_ = page;
  open();
}
