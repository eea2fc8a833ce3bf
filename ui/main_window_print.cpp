// PDF export and printing of the tab: File > Export > "PDF File" and File > "Print...".
#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>

#include "files/tab_export.h"
#include "ui/cp1252.h"
#include "ui/dialogs.h"
#include "ui/export_commands.h"
#include "ui/local_path.h"
#include "ui/main_window.h"
#include "ui/tab_printer.h"

void TFmain::ConnectPrintCommands() {
  connect(PDFFile1, &QAction::triggered, this, &TFmain::PDFFile1Click);
  connect(Print1, &QAction::triggered, this, &TFmain::Print1Click);
  // Nothing to print before the first document, as nothing to export.
  lockItems_.push_back({nullptr, Print1});
}

void TFmain::PDFFile1Click() {
  if (!DocumentShown()) return;
  auto chosen = dialogs_.SaveFile(this, OfferingSongName(SavePdfSpec(), *Document()));
  if (!chosen) return;
  std::string error;
  if (!ExportPdf(*Document(), BoxesForExport(), DefaultPaper(), LocalPathString(*chosen),
                 error))
    dialogs_.Message(this, DialogService::Icon::Error, QString::fromLatin1(kApplicationTitle),
                     QStringLiteral("Cannot write \"%1\": %2")
                         .arg(*chosen, QString::fromLocal8Bit(error.c_str())));
}

void TFmain::Print1Click() {
  if (!DocumentShown()) return;
  QPrinter printer(QPrinter::HighResolution);
  // The printer's own paper when there is a printer; otherwise the locale's.
  if (QPrinterInfo::defaultPrinter().isNull())
    printer.setPageSize(PageSizeOf(DefaultPaper()));
  const QString song = FromCp1252(Document()->Song);
  printer.setDocName(song.isEmpty() ? QFileInfo(saveTarget_).completeBaseName() : song);
  printer.setCreator(QString::fromLatin1(kMainCaption));
  if (!dialogs_.Print(this, printer)) return;
  std::string error;
  if (!PrintTab(printer, *Document(), BoxesForExport(), error))
    dialogs_.Message(this, DialogService::Icon::Error, QString::fromLatin1(kApplicationTitle),
                     QStringLiteral("Cannot print: %1").arg(QString::fromLocal8Bit(error.c_str())));
}
