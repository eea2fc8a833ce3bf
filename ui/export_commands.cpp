#include "ui/export_commands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <string>

#include "ui/cp1252.h"

namespace {

using ExportFunction = bool (*)(const Osnova&, const std::string&, const ExportBoxes&,
                                std::string&);

void RunExport(QWidget* parent, DialogService& dialogs, const FileDialogSpec& request,
               ExportFunction write, const Osnova& doc, const ExportBoxes& boxes) {
  auto chosen = dialogs.SaveFile(parent, request);
  if (!chosen) return;
  WriteFileOrReport(parent, dialogs, *chosen, [&](const std::string& path, std::string& error) {
    return write(doc, path, boxes, error);
  });
}

}  // namespace

FileDialogSpec OfferingSongName(FileDialogSpec spec, const Osnova& doc) {
  const QString suffix = spec.DefaultSuffix.isEmpty() ? QString() : "." + spec.DefaultSuffix;
  if (doc.HasFile && !doc.FileName.empty()) {
    const QFileInfo file(QFile::decodeName(doc.FileName.c_str()));
    spec.InitialFile = file.dir().filePath(file.completeBaseName() + suffix);
    return spec;
  }
  QString title = FromCp1252(doc.Song).simplified();
  // A title is no path: a slash or a control character would name another folder or confuse the
  // dialog, and a leading dot would hide the file.
  for (QChar& c : title)
    if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control) c = u'_';
  while (title.startsWith(u'.')) title.remove(0, 1);
  if (!title.isEmpty()) spec.InitialFile = title + suffix;
  return spec;
}

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
  RunExport(parent, dialogs, OfferingSongName(SaveTSpec(), doc), &ExportText, doc, boxes);
}

void HTMLFille1Click(QWidget* parent, DialogService& dialogs, const Osnova& doc,
                     const ExportBoxes& boxes) {
  RunExport(parent, dialogs, OfferingSongName(SaveHSpec(), doc), &ExportHtml, doc, boxes);
}
