// The `grooveloom -o OUT IN` conversion: no window, only the core.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "files/tab_export.h"

// A format whose writer lives above the core (the PDF export paints with Qt); main passes it in.
struct ExtraFormat {
  const char* Extension;  // lower case, with the dot
  bool (*Write)(Osnova& doc, const std::string& path, std::string& error);  // atomic
};

// Reads IN as a tab file and writes OUT in the format its extension names (case-insensitive).
// Returns the process exit status: 0 ok (message empty); 1 when IN is refused (message =
// kDamagedTabFileMessage) or OUT cannot be written (message names OUT and the system's reason);
// 2 for an unknown OUT extension (message lists the known ones). OUT is written atomically, so
// it is never left partial. An IN that ConvertFile imports (below) is imported with the drum
// channel 10, its warnings dropped. `extra` adds formats written outside the core (the PDF).
int ConvertTabFile(const std::string& in, const std::string& out, std::string& message,
                   std::span<const ExtraFormat> extra = {});

// The same for any input: IN ending in .txt or .tab is read as a text tab, .mid or .midi as a
// MIDI file (the drum notes of `midiChannel`, 1..16), anything else as a tab file. The import's
// warnings go to `warnings`; an import that finds nothing usable returns 1 with its message.
int ConvertFile(const std::string& in, const std::string& out, int midiChannel,
                std::string& message, std::vector<std::string>& warnings,
                std::span<const ExtraFormat> extra = {});

// The extensions ConvertTabFile can write, with their dot, in table order, then `extra`'s.
std::vector<std::string> ConversionExtensions(std::span<const ExtraFormat> extra = {});

// The timing and tempo the window's boxes show right after Open: bar 0's timing and the
// document's tempo. The exports of the command line print these.
ExportBoxes BoxesAfterOpen(const Osnova& doc);
