// The `grooveloom -o OUT IN` conversion: no window, only the core.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "model/tab_document.h"

// Reads IN as a tab file and writes OUT in the format its extension names (case-insensitive).
// Returns the process exit status: 0 ok (message empty); 1 when IN is refused (message =
// kDamagedTabFileMessage) or OUT cannot be written (message names OUT and the system's reason);
// 2 for an unknown OUT extension (message lists the known ones). OUT is written atomically, so
// it is never left partial.
int ConvertTabFile(const std::string& in, const std::string& out, std::string& message);

// The extensions ConvertTabFile can write, with their dot, in table order.
std::vector<std::string> ConversionExtensions();

// Formats written outside the core (the audio export) join the table at start-up. `extension` is
// lower case with its dot; the writer must be atomic like the others.
using ConversionWriter = std::function<bool(Osnova& doc, const std::string& path, std::string& error)>;
void AddConversionFormat(const std::string& extension, ConversionWriter write);
