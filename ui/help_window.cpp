#include "ui/help_window.h"

#include <QTextBrowser>
#include <QVBoxLayout>

HelpWindow::HelpWindow(std::function<void(const QUrl&)> openExternal, QWidget* parent)
    : QWidget(parent, Qt::Window),
      openExternal_(std::move(openExternal)),
      browser_(new QTextBrowser(this)) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(QStringLiteral("Grooveloom Help"));
  resize(640, 560);
  browser_->setObjectName(QStringLiteral("HelpBrowser"));
  // The browser would try to show a web page itself; only the help's own pages are its to show.
  browser_->setOpenLinks(false);
  connect(browser_, &QTextBrowser::anchorClicked, this, &HelpWindow::Follow);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
}

void HelpWindow::ShowFile(const QString& file) {
  browser_->setSource(QUrl::fromLocalFile(file));
  show();
  raise();
  activateWindow();
}

void HelpWindow::Follow(const QUrl& link) {
  const QUrl target = browser_->source().resolved(link);
  if (target.isLocalFile())
    browser_->setSource(target);
  else if (openExternal_)
    openExternal_(target);
}
