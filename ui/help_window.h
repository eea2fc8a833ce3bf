// The help window: help.html in the program's own browser, so help works on a machine without a
// web browser. Links inside the help stay in it; links to elsewhere go to `openExternal`.
#pragma once

#include <QUrl>
#include <QWidget>
#include <functional>

class QTextBrowser;

class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  HelpWindow(std::function<void(const QUrl&)> openExternal, QWidget* parent = nullptr);

  // Shows `file` (a local HTML file) and brings the window to the front.
  void ShowFile(const QString& file);
  QTextBrowser* Browser() const { return browser_; }

 private:
  void Follow(const QUrl& link);

  std::function<void(const QUrl&)> openExternal_;
  QTextBrowser* browser_;
};
