// The tab document file (.gvlm): the program's own binary format for one Osnova. Little-endian
// integers, texts as an i32 length (-1 when empty) and Windows-1252 bytes, and two- or four-byte
// markers between the fields as the only integrity check.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "common/input_file.h"
#include "model/tab_document.h"

extern const char* const kDamagedTabFileMessage;

// Exactly the bytes of the file for `doc`. As long as every bar has a valid timing (Length 1..64,
// Denominator 4, 8 or 16), the result is readable by ReadTabBytes: texts are cut to their field
// lengths, Numerator and Tempo are held to 1..16 and 1..1024, and song parts the reader would
// refuse (outside the bar range, or not after the part before) are left out.
std::string WriteTabBytes(const Osnova& doc);
// The same bytes into `out`, reusing its memory.
void WriteTabBytesInto(const Osnova& doc, std::string& out);

// Builds a document from file bytes. nullptr on any damage or out-of-limit value. The document
// has LineOfRow computed and the defaults of a new document for everything the file does not
// hold (FileName "Unnamed", Modified and HasFile false, CurrentBar 0). Touches no global.
// A damaged extension block (files/tab_file_extension.h) is no refusal: the bars load as plain
// notes and `warning`, when given, says so.
std::unique_ptr<Osnova> ReadTabBytes(std::string_view bytes, std::string* warning = nullptr);
// The same from a stream, read only as far as the document goes: damage is refused as soon as it
// is read. Running out of memory is a refusal too.
std::unique_ptr<Osnova> ReadTabStream(ByteSource& source, std::string* warning = nullptr);

// Writes the file atomically. On success: Modified false, HasFile true, FileName = path. On
// failure returns false with the system's reason in `error`; the document and any old file are
// unchanged.
bool SaveToTabFile(Osnova& doc, const std::string& path, std::string& error);

// Reads a file. On success the document has Modified false, HasFile true, FileName = path. On
// failure returns nullptr with kDamagedTabFileMessage in `error`. The editing session makes the
// opened song's kit the one in use.
std::unique_ptr<Osnova> LoadFromTabFile(const std::string& path, std::string& error,
                                        std::string* warning = nullptr);

// The reader's reverse of NoteLetter for one row; `letter` in either case.
TNoteCell LetterToCell(int row, uint8_t letter);
