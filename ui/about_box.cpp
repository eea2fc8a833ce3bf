#include "ui/about_box.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>

#include "files/program_info.h"

static QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, int y, int height) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setGeometry(100, y, 200, height);
  return label;
}

static QString Link(const QString& target, const QString& text) {
  return QString("<a href=\"%1\">%2</a>").arg(target.toHtmlEscaped(), text.toHtmlEscaped());
}

TFAbout::TFAbout(QWidget* parent) : QDialog(parent) {
  setObjectName("FAbout");
  setWindowTitle("About");
  setFixedSize(320, 220);

  auto* picture = new QLabel(this);
  picture->setObjectName("ProgramIcon");
  picture->setGeometry(16, 16, 64, 64);
  picture->setAlignment(Qt::AlignCenter);
  picture->setText("\u266A");  // a note, in place of the program's icon
  QFont big = picture->font();
  big.setPointSize(36);
  picture->setFont(big);

  ProductName = AddLabel(this, "ProductName", kProgramName, 16, 20);
  QFont bold = ProductName->font();
  bold.setBold(true);
  bold.setPointSize(bold.pointSize() + 4);
  ProductName->setFont(bold);
  Version = AddLabel(this, "Version", kProgramVersion, 40, 16);
  Copyright = AddLabel(this, "Copyright", kProgramAuthor, 60, 16);
  Comments = AddLabel(this, "Comments", kPlatformRequirement, 80, 16);

  ContactLabel = AddLabel(this, "ContactLabel",
                          Link(QString("mailto:") + kContactAddress, kContactAddress), 110, 16);
  WebLabel = AddLabel(this, "WebLabel", Link(kProjectPage, kProjectPage), 130, 16);
  for (QLabel* link : {ContactLabel, WebLabel}) {
    link->setTextFormat(Qt::RichText);
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    link->setOpenExternalLinks(true);  // the desktop's mail program and browser
  }

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("OKButton");
  ok->setGeometry(122, 176, 75, 25);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
