// The window's text, HTML and MusicXML export commands: ask for a file name, write the export,
// report a failure.
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

// Menu "&MIDI File" and the "Export to MIDI..." button: the song at `tempo` as a Standard MIDI File.
void MIDIFile1Click(QWidget* parent, DialogService& dialogs, const Osnova& doc, uint16_t tempo);

// `request` offering the song's own name with the export's extension (request.DefaultSuffix): the song
// file's name in its folder, else the song's title, else nothing.
FileDialogSpec OfferingSongName(FileDialogSpec request, const Osnova& doc);

// File > Export > "Music&XML File": the song as notation; a name ending in .mxl gets the
// compressed container, any other the plain score.
void MusicXMLFile1Click(QWidget* parent, DialogService& dialogs, const Osnova& doc);

// The dialogs' settings, for the window and for tests.
FileDialogSpec SaveTSpec();
FileDialogSpec SaveHSpec();
FileDialogSpec SaveMusicXmlSpec();
FileDialogSpec SaveMidiSpec();
