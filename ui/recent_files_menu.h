// File > Recent Files: the last eight songs opened or saved. The list is read from its file each
// time the File menu opens, so a song another running copy of the program saved shows up too.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

#include "files/recent_files.h"

class DialogService;
class QMenu;
class QWidget;

class RecentFilesMenu : public QObject {
 public:
  using Opener = std::function<void(const QString& path)>;
  RecentFilesMenu(QMenu* menu, QWidget* window, DialogService& dialogs, Opener open,
                  std::string file = RecentFilesPath());

  void Remember(const QString& path);  // made absolute; goes first
  void Refresh();                      // reads the list again and rebuilds the menu
  QStringList Paths() const;

 private:
  void Rebuild();  // from the list in memory
  void Chosen(const QString& path);
  void Store();

  QMenu* menu_;
  QWidget* window_;
  DialogService& dialogs_;
  Opener open_;
  std::string file_;
  RecentFiles list_;
};
