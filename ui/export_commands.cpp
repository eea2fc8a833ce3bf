#include "ui/export_commands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <string>

#include "files/musicxml_export.h"
#include "midi/tab_midi_file.h"
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

FileDialogSpec OfferingSongName(FileDialogSpec request, const Osnova& doc) {
  const QString suffix = request.DefaultSuffix.isEmpty() ? QString() : "." + request.DefaultSuffix;
  if (doc.HasFile && !doc.FileName.empty()) {
    const QFileInfo file(QFile::decodeName(doc.FileName.c_str()));
    request.InitialFile = file.dir().filePath(file.completeBaseName() + suffix);
    return request;
  }
  QString title = FromCp1252(doc.Song).simplified();
  // A title is no path: a slash or a control character would name another folder or confuse the
  // dialog, and a leading dot would hide the file.
  for (QChar& c : title)
    if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control) c = u'_';
  while (title.startsWith(u'.')) title.remove(0, 1);
  if (!title.isEmpty()) request.InitialFile = title + suffix;
  return request;
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

FileDialogSpec SaveMusicXmlSpec() {
  return SaveDialogRequest(QStringLiteral("Export your drum tab to a MusicXML file"),
                           QStringLiteral("MusicXML files (*.musicxml *.mxl);;All Files (*)"),
                           QStringLiteral("musicxml"));
}

void MusicXMLFile1Click(QWidget* parent, DialogService& dialogs, const Osnova& doc) {
  auto chosen = dialogs.SaveFile(parent, OfferingSongName(SaveMusicXmlSpec(), doc));
  if (!chosen) return;
  const bool compressed = chosen->endsWith(QStringLiteral(".mxl"), Qt::CaseInsensitive);
  WriteFileOrReport(parent, dialogs, *chosen, [&](const std::string& path, std::string& error) {
    return compressed ? ExportMusicXmlContainer(doc, path, error) : ExportMusicXml(doc, path, error);
  });
}

FileDialogSpec SaveMidiSpec() {
  return SaveDialogRequest(QStringLiteral("Export your drum tab to a MIDI file"),
                           QStringLiteral("MIDI files (*.mid *.midi);;All Files (*)"),
                           QStringLiteral("mid"));
}

void MIDIFile1Click(QWidget* parent, DialogService& dialogs, const Osnova& doc, uint16_t tempo) {
  auto chosen = dialogs.SaveFile(parent, OfferingSongName(SaveMidiSpec(), doc));
  if (!chosen) return;
  WriteFileOrReport(parent, dialogs, *chosen, [&](const std::string& path, std::string& error) {
    return ExportTabMidiFile(doc.Bars, tempo, path, error, doc.Swing);
  });
}
