#include "ui/recent_files_menu.h"

#include <QAction>
#include <QMenu>
#include <filesystem>
#include <iostream>

#include "ui/dialogs.h"
#include "ui/local_path.h"

RecentFilesMenu::RecentFilesMenu(QMenu* menu, QWidget* window, DialogService& dialogs, Opener open,
                                 std::string file)
    : QObject(menu), menu_(menu), window_(window), dialogs_(dialogs), open_(std::move(open)),
      file_(std::move(file)) {
  Refresh();
}

QStringList RecentFilesMenu::Paths() const {
  QStringList paths;
  for (const std::string& p : list_.Paths()) paths << PathFromLocalBytes(QByteArray::fromStdString(p));
  return paths;
}

void RecentFilesMenu::Refresh() {
  std::string error;
  if (!list_.Load(file_, error))
    std::cerr << "grooveloom: cannot read " << file_ << ": " << error << '\n';
  Rebuild();
}

void RecentFilesMenu::Rebuild() {
  // The item being chosen may be among these: it goes once its signal is done.
  for (QAction* old : menu_->actions()) {
    menu_->removeAction(old);
    old->deleteLater();
  }
  int n = 0;
  for (const QString& path : Paths()) {
    ++n;
    QString shown = path;
    shown.replace('&', "&&");
    QAction* item = menu_->addAction(QString("&%1 %2").arg(n).arg(shown));
    item->setObjectName(QString("RecentFile%1").arg(n));
    connect(item, &QAction::triggered, this, [this, path] { Chosen(path); });
  }
  menu_->setEnabled(n > 0);
}

void RecentFilesMenu::Store() {
  std::string error;
  if (!list_.Save(file_, error))
    std::cerr << "grooveloom: cannot write " << file_ << ": " << error << '\n';
}

void RecentFilesMenu::Remember(const QString& path) {
  std::string error;
  list_.Load(file_, error);  // what other copies of the program added meanwhile
  list_.Add(LocalPathString(path));  // the window passes absolute names
  Store();
  Rebuild();
}

void RecentFilesMenu::Chosen(const QString& path) {
  std::error_code error;
  if (std::filesystem::is_regular_file(LocalPathString(path), error)) {
    open_(path);
    return;
  }
  std::string reason;
  list_.Load(file_, reason);
  list_.Remove(LocalPathString(path));
  Store();
  Rebuild();
  dialogs_.Message(window_, DialogService::Icon::Warning, "Warning",
                   QString("The file \"%1\" no longer exists. It has been removed from the Recent "
                           "Files list.")
                       .arg(path));
}
