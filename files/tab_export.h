// The text and HTML drum-tab exports: the song laid out as fixed-width text, bars side by side in
// groups of at most 64 positions, one line per shown instrument row. The HTML page carries the same
// lines wrapped in colour markup.
#pragma once

#include <string>

#include "model/export_extent.h"
#include "model/tab_document.h"

// The complete file contents, CR LF line ends, texts byte for byte as stored.
std::string TextExportBytes(const Osnova& doc, const ExportBoxes& boxes);
std::string HtmlExportBytes(const Osnova& doc, const ExportBoxes& boxes);

// Write the export through a temporary file and a rename. On failure returns false, leaves any
// existing file untouched and sets `error` to the system's reason.
bool ExportText(const Osnova& doc, const std::string& path, const ExportBoxes& boxes,
                std::string& error);
bool ExportHtml(const Osnova& doc, const std::string& path, const ExportBoxes& boxes,
                std::string& error);
