#include "ui/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

#include <array>

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

static std::optional<QString> RunFileDialog(QWidget* parent, const FileDialogSpec& request, bool save) {
  QFileDialog dialog(parent, request.Title, request.InitialFolder, request.Filter);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!request.DefaultSuffix.isEmpty()) dialog.setDefaultSuffix(request.DefaultSuffix);
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

// Windows-1252 differs from Latin-1 only in 0x80..0x9F.
static constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString FromCp1252(const std::string& bytes) {
  QString out;
  out.reserve(static_cast<qsizetype>(bytes.size()));
  for (unsigned char c : bytes) {
    if (c >= 0x80 && c <= 0x9F)
      out.append(QChar(kCp1252High[c - 0x80]));
    else
      out.append(QChar(c));
  }
  return out;
}

std::string ToCp1252(const QString& text) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()));
  for (QChar ch : text) {
    char16_t u = ch.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      out.push_back(static_cast<char>(u));
      continue;
    }
    char mapped = '?';  // not representable in the files' code page
    for (std::size_t i = 0; i < kCp1252High.size(); ++i)
      if (kCp1252High[i] == u) mapped = static_cast<char>(0x80 + i);
    out.push_back(mapped);
  }
  return out;
}
