#include "ui/export_commands.h"

#include <string>

#include "files/musicxml_export.h"

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

FileDialogSpec SaveMusicXmlSpec() {
  return SaveDialogRequest(QStringLiteral("Export your drum tab to a MusicXML file"),
                           QStringLiteral("MusicXML files (*.musicxml *.mxl);;All Files (*)"),
                           QStringLiteral("musicxml"));
}

void MusicXMLFile1Click(QWidget* parent, DialogService& dialogs, const Osnova& doc) {
  auto chosen = dialogs.SaveFile(parent, SaveMusicXmlSpec());
  if (!chosen) return;
  const bool compressed = chosen->endsWith(QStringLiteral(".mxl"), Qt::CaseInsensitive);
  WriteFileOrReport(parent, dialogs, *chosen, [&](const std::string& path, std::string& error) {
    return compressed ? ExportMusicXmlContainer(doc, path, error) : ExportMusicXml(doc, path, error);
  });
}
