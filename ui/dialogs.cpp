#include "ui/dialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QRegularExpression>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <algorithm>
#include <vector>

#include "ui/local_path.h"

bool WriteFileOrReport(QWidget* parent, DialogService& dialogs, const QString& path,
                       const FileWriter& write) {
  // File names go to the system in its own encoding, not the document's code page.
  std::string error;
  if (write(LocalPathString(path), error)) return true;
  dialogs.Message(parent, DialogService::Icon::Error, QStringLiteral("Error"),
                  QStringLiteral("Cannot write \"%1\": %2")
                      .arg(path, QString::fromLocal8Bit(error.c_str())));
  return false;
}

void QtDialogService::Message(QWidget* parent, Icon icon, const QString& title, const QString& text) {
  QMessageBox::Icon qicon = QMessageBox::NoIcon;
  switch (icon) {
    case Icon::Plain: qicon = QMessageBox::NoIcon; break;
    case Icon::Information: qicon = QMessageBox::Information; break;
    case Icon::Warning: qicon = QMessageBox::Warning; break;
    case Icon::Error: qicon = QMessageBox::Critical; break;
  }
  QMessageBox box(qicon, title, text, QMessageBox::Ok, parent);
  box.exec();
}

bool QtDialogService::Question(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Yes | QMessageBox::No, parent);
  return box.exec() == QMessageBox::Yes;
}

int QtDialogService::Choose(QWidget* parent, const QString& title, const QString& text,
                            const QStringList& buttons) {
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
  std::vector<QAbstractButton*> added;
  for (const QString& caption : buttons)
    added.push_back(box.addButton(caption, added.empty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
  if (!added.empty()) box.setDefaultButton(static_cast<QPushButton*>(added.front()));
  box.exec();
  const auto chosen = std::find(added.begin(), added.end(), box.clickedButton());
  // Closing the box with Escape or its title bar counts as the last button.
  return chosen == added.end() ? static_cast<int>(added.size()) - 1
                               : static_cast<int>(chosen - added.begin());
}

FileDialogSpec SaveDialogRequest(const QString& title, const QString& filter,
                                 const QString& defaultSuffix) {
  FileDialogSpec request;
  request.Title = title;
  request.Filter = filter;
  request.DefaultSuffix = defaultSuffix;
  request.InitialFolder = QStringLiteral(".");
  request.ConfirmOverwrite = true;
  return request;
}

// The extension a file-dialog filter names first ("FLAC files (*.flac)" gives "flac"); empty for
// one without (*).
static QString FilterSuffix(const QString& filter) {
  static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
  const QRegularExpressionMatch match = pattern.match(filter);
  return match.hasMatch() ? match.captured(1) : QString();
}

static std::optional<QString> RunFileDialog(QWidget* parent, const FileDialogSpec& request, bool save) {
  QFileDialog dialog(parent, request.Title, request.InitialFolder, request.Filter);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!request.DefaultSuffix.isEmpty()) {
    dialog.setDefaultSuffix(request.DefaultSuffix);
    // A name typed without an extension gets the one of the file type chosen, not the first type's.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, &request](const QString& filter) {
      const QString suffix = FilterSuffix(filter);
      dialog.setDefaultSuffix(suffix.isEmpty() ? request.DefaultSuffix : suffix);
    });
  }
  if (!request.ConfirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (!request.InitialFile.isEmpty()) dialog.selectFile(request.InitialFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first();
}

std::optional<QString> QtDialogService::OpenFile(QWidget* parent, const FileDialogSpec& request) {
  return RunFileDialog(parent, request, false);
}

std::optional<QString> QtDialogService::SaveFile(QWidget* parent, const FileDialogSpec& request) {
  return RunFileDialog(parent, request, true);
}

bool DialogService::Print(QWidget*, QPrinter&) { return false; }

bool QtDialogService::Print(QWidget* parent, QPrinter& printer) {
  QPrintDialog dialog(&printer, parent);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
  return dialog.exec() == QDialog::Accepted;
}
