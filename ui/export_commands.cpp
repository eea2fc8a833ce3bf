#include "ui/export_commands.h"

#include <QFile>

#include <string>

namespace {

using ExportFunction = bool (*)(const Osnova&, const std::string&, const ExportBoxes&,
                                std::string&);

void RunExport(QWidget* parent, DialogService& dialogs, const FileDialogSpec& request,
               ExportFunction write, const Osnova& doc, const ExportBoxes& boxes) {
  auto chosen = dialogs.SaveFile(parent, request);
  if (!chosen) return;
  // File names go to the system in its own encoding, not the document's code page.
  std::string path = QFile::encodeName(*chosen).toStdString();
  std::string error;
  if (!write(doc, path, boxes, error))
    dialogs.Message(parent, DialogService::Icon::Error, QStringLiteral("Grooveloom demo"),
                    QStringLiteral("Cannot write \"%1\": %2")
                        .arg(*chosen, QString::fromLocal8Bit(error.c_str())));
}

}  // namespace

FileDialogSpec SaveTSpec() {
  return SaveDialogRequest(QStringLiteral("Export your drum tab to a text file"),
                           QStringLiteral("Tab Files (*.tab);;Text Files (*.txt);;All Files (*)"),
                           QStringLiteral("tab"));
}

FileDialogSpec SaveHSpec() {
  return SaveDialogRequest(QStringLiteral("Export your drum tab to a nice HTML file"),
                           QStringLiteral("HTML files (*.htm *.html);;All Files (*)"),
                           QStringLiteral("html"));
}

void TextFile1Click(QWidget* parent, DialogService& dialogs, const Osnova& doc,
                    const ExportBoxes& boxes) {
  RunExport(parent, dialogs, SaveTSpec(), &ExportText, doc, boxes);
}

void HTMLFille1Click(QWidget* parent, DialogService& dialogs, const Osnova& doc,
                     const ExportBoxes& boxes) {
  RunExport(parent, dialogs, SaveHSpec(), &ExportHtml, doc, boxes);
}
