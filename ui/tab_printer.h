// The printed tab: paints the pages of layout/page_layout.h as vectors with QPainter, on a PDF
// writer (File > Export > "PDF File", `grooveloom -o song.pdf IN`) or on a printer
// (File > "Print..."). One painting routine serves both.
#pragma once

#include <QByteArray>
#include <functional>
#include <string>

#include "files/tab_export.h"
#include "ui/dialogs.h"
#include "layout/page_layout.h"

class QPageSize;
class QPainter;
class QPrinter;

// The paper of the PDF export: GROOVELOOM_PAPER ("a4" or "letter") when set, else the locale's
// paper (LC_PAPER), else Letter where the locale measures in inches and A4 everywhere else.
// Needs the Q(Gui)Application, which sets the locale from the environment.
print::Paper DefaultPaper();

// The Qt page size of `paper`: A4 and Letter by name, any other as its own size.
QPageSize PageSizeOf(const print::Paper& paper);

// Paints pages from..to (0-based, inclusive) of `layout`, calling `newPage` between two pages.
// The painter's device is one page of the layout's paper, with its origin at the paper's corner.
void PaintTabPages(QPainter& painter, const Osnova& doc, const print::PageLayout& layout, int from,
                   int to, const std::function<void()>& newPage);

// The whole PDF file. Needs a QGuiApplication (fonts); the offscreen platform will do.
QByteArray PdfBytes(const Osnova& doc, const ExportBoxes& boxes, const print::Paper& paper);

// Writes the PDF through a temporary file and a rename. On failure returns false, leaves any
// existing file untouched and sets `error` to the system's reason.
bool ExportPdf(const Osnova& doc, const ExportBoxes& boxes, const print::Paper& paper,
               const std::string& path, std::string& error);

// The command line's PDF writer: the timing and tempo as the window shows them after Open, the
// default paper.
bool WritePdfFile(Osnova& doc, const std::string& path, std::string& error);

// Prints on a printer the print dialog has set up: its paper and orientation, its page range.
// False with a reason when the printer cannot be started.
bool PrintTab(QPrinter& printer, const Osnova& doc, const ExportBoxes& boxes, std::string& error);

// The save dialog of File > Export > "PDF File".
FileDialogSpec SavePdfSpec();
