// The program as the desktop sees it: window class, desktop file name and icon.
#include "ui/app_identity.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QImage>

#include "files/program_info.h"

TEST(AppIdentity, ClassAndDesktopFileNameAreTheDesktopEntrysAndWindowsCarryTheProgramsIcon) {
  const QString name = QApplication::applicationName();
  SetApplicationIdentity();
  // X11 sets WM_CLASS's class from the application name; Wayland's app id is the desktop file name.
  EXPECT_EQ(QApplication::applicationName(), "org.grooveloom.Grooveloom");
  EXPECT_EQ(QGuiApplication::desktopFileName(), "org.grooveloom.Grooveloom");
  // The built-in copy of the icon stands in when the theme has none: the installed 48 px PNG.
  const QIcon icon = QApplication::windowIcon();
  ASSERT_FALSE(icon.isNull());
  const QImage shown = icon.pixmap(48, 48).toImage();
  const QImage file(QStringLiteral(":/icons/org.grooveloom.Grooveloom.png"));
  ASSERT_FALSE(file.isNull());
  EXPECT_EQ(shown.size(), file.size());
  EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied),
            file.convertToFormat(QImage::Format_ARGB32_Premultiplied))
      << shown.format() << " " << file.format() << " " << shown.size().width();
  QApplication::setApplicationName(name);
  QApplication::setWindowIcon(QIcon());
}
