// What every export of a song covers: the timing and tempo boxes it prints, and the bars worth
// exporting. Shared by the text, HTML and MusicXML exports (files/) and the printed page (layout/).
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

// The bars a document can be read at: BarCount, unless a damaged one holds fewer.
int UsableBarCount(const Osnova& doc);
