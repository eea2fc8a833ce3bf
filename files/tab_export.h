// The text and HTML drum-tab exports: the song laid out as fixed-width text, bars side by side in
// groups of at most 64 positions, one line per shown instrument row. The HTML page carries the same
// lines wrapped in colour markup.
#pragma once

#include <string>

#include "model/tab_document.h"

// The main window's timing and tempo boxes as they stand at the moment of export (ETakt1, Etakt2,
// ETempo). Passed in as texts so the export never reaches for a widget.
struct ExportBoxes {
  std::string Numerator, Denominator, Tempo;
};

// The last bar in lo..hi worth exporting: the greater of the last commented bar (-1 when none) and
// the last bar holding a note in a shown instrument row (lo when none).
int LastContentBar(const Osnova& doc, int lo, int hi);

// True when `row` holds a note in any bar of lo..hi, at any of the 64 positions.
bool RowHasNotes(const Osnova& doc, int row, int lo, int hi);

// The complete file contents, CR LF line ends, texts byte for byte as stored.
std::string TextExportBytes(const Osnova& doc, const ExportBoxes& boxes);
std::string HtmlExportBytes(const Osnova& doc, const ExportBoxes& boxes);

// Write the export through a temporary file and a rename. On failure returns false, leaves any
// existing file untouched and sets `error` to the system's reason.
bool ExportText(const Osnova& doc, const std::string& path, const ExportBoxes& boxes,
                std::string& error);
bool ExportHtml(const Osnova& doc, const std::string& path, const ExportBoxes& boxes,
                std::string& error);
