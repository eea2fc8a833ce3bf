// The `grooveloom -o OUT IN` conversion: no window, only the core.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "files/tab_export.h"

// Reads IN as a tab file and writes OUT in the format its extension names (case-insensitive).
// Returns the process exit status: 0 ok (message empty); 1 when IN is refused (message =
// kDamagedTabFileMessage) or OUT cannot be written (message names OUT and the system's reason);
// 2 for an unknown OUT extension (message lists the known ones). OUT is written atomically, so
// it is never left partial. An IN that ConvertFile imports (below) is imported with the drum
// channel 10, its warnings dropped.
int ConvertTabFile(const std::string& in, const std::string& out, std::string& message);

// The same for any input: IN ending in .txt or .tab is read as a text tab, .mid or .midi as a
// MIDI file (the drum notes of `midiChannel`, 1..16), anything else as a tab file. The import's
// warnings go to `warnings`; an import that finds nothing usable returns 1 with its message.
int ConvertFile(const std::string& in, const std::string& out, int midiChannel,
                std::string& message, std::vector<std::string>& warnings);

// The extensions ConvertTabFile can write, with their dot, in table order, then the added ones.
std::vector<std::string> ConversionExtensions();

// Formats written outside the core (the audio export, the PDF painted with Qt) join the table at
// start-up. `extension` is lower case with its dot; the writer must be atomic like the others.
using ConversionWriter = std::function<bool(Osnova& doc, const std::string& path, std::string& error)>;
void AddConversionFormat(const std::string& extension, ConversionWriter write);

// The timing and tempo the window's boxes show right after Open: bar 0's timing and the
// document's tempo. The exports of the command line print these.
ExportBoxes BoxesAfterOpen(const Osnova& doc);
