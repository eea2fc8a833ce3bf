#include "ui/app_identity.h"

#include <QApplication>
#include <QIcon>

#include "files/program_info.h"

QIcon ProgramIcon() {
  return QIcon::fromTheme(QString::fromLatin1(kDesktopId),
                          QIcon(QStringLiteral(":/icons/%1.png").arg(QString::fromLatin1(kDesktopId))));
}

void SetApplicationIdentity() {
  QApplication::setApplicationName(QString::fromLatin1(kDesktopId));
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopId));
  QApplication::setWindowIcon(ProgramIcon());
}
