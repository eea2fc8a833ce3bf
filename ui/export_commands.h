// The window's two tab export commands: ask for a file name, write the export, report a failure.
#pragma once

#include "files/tab_export.h"
#include "ui/dialogs.h"

class QWidget;

// Menu "&Text File" and the "Export to TXT..." button, through the save dialog SaveT.
void TextFile1Click(QWidget* parent, DialogService& dialogs, const Osnova& doc,
                    const ExportBoxes& boxes);
// Menu "&HTML File" and the "Export to HTML..." button, through the save dialog SaveH.
void HTMLFille1Click(QWidget* parent, DialogService& dialogs, const Osnova& doc,
                     const ExportBoxes& boxes);

// `spec` offering the song's own name with the export's extension (spec.DefaultSuffix): the song
// file's name in its folder, else the song's title, else nothing.
FileDialogSpec OfferingSongName(FileDialogSpec spec, const Osnova& doc);

// The dialogs' settings, for the window and for tests.
FileDialogSpec SaveTSpec();
FileDialogSpec SaveHSpec();
