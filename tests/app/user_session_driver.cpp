// Plays a user at the real program: linked with app/main.cpp into `grooveloom_user_session`, it
// starts with the application and, through the keyboard and the real message boxes and file
// dialog, does: File > New (Ctrl+N), P, Save (Ctrl+S) under $GROOVELOOM_SESSION_SAVE, close the
// window and confirm. It prints what it saw on standard output for the checking script.
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <iostream>

#include "files/options_file.h"

namespace {

QWidget* MainWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "Fmain" && w->isVisible()) return w;
  return nullptr;
}

void Press(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* focus = QApplication::focusWidget();
  QTest::keyClick(focus ? focus : window, key, modifiers);
}

class SessionDriver : public QObject {
 public:
  SessionDriver() : QObject(qApp) {
    // Boxes are answered by this watcher, which also runs inside their own event loops.
    connect(&watch_, &QTimer::timeout, this, [this] { Watch(); });
    watch_.start(20);
    QTimer::singleShot(60000, qApp, [] {
      std::cout << "session timed out" << std::endl;
      std::_Exit(3);
    });
  }

 private:
  void Watch() {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      std::cout << "box: " << box->text().toStdString() << std::endl;
      if (QAbstractButton* yes = box->button(QMessageBox::Yes))
        yes->click();
      else
        box->accept();
      return;
    }
    if (auto* files = qobject_cast<QFileDialog*>(modal)) {
      const QString path = qEnvironmentVariable("GROOVELOOM_SESSION_SAVE");
      std::cout << "file dialog: " << files->windowTitle().toStdString() << std::endl;
      // Typed into the name box as a user would; selectFile() races the dialog's own folder
      // loading, which may put the previous name back.
      const QFileInfo target(path);
      files->setDirectory(target.absolutePath());
      if (auto* name = files->findChild<QLineEdit*>("fileNameEdit")) name->setText(target.fileName());
      static_cast<QDialog*>(files)->accept();  // QFileDialog::accept, which takes the name
      return;
    }
    if (modal || step_ != 0) return;
    QWidget* window = MainWindow();
    if (!window || !window->isActiveWindow()) return;
    step_ = 1;
    std::cout << "options file at start: "
              << (QFile::exists(QString::fromStdString(OptionsFilePath())) ? "present" : "missing")
              << std::endl;
    // Each step on its own timer, so the watcher can answer the boxes the step opens.
    QTimer::singleShot(0, this, [window] {
      Press(window, Qt::Key_N, Qt::ControlModifier);
      Press(window, Qt::Key_P);
      Press(window, Qt::Key_S, Qt::ControlModifier);
      std::cout << "title: " << window->windowTitle().toStdString() << std::endl;
      window->close();
    });
  }

  QTimer watch_;
  int step_ = 0;
};

void StartSession() { new SessionDriver; }

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(StartSession)
