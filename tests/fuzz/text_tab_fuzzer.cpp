// Fuzz entry point for the text-tab import (text from files and the clipboard). Besides crashes
// and sanitizer reports it checks that an accepted text makes a document within the model's limits
// that the tab file keeps as it is, and that a refused one says why.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "files/tab_file.h"
#include "files/text_tab_import.h"
#include "model/expressive_notes.h"

namespace {

// Repeat counts make songs of tens of thousands of bars, which take far longer to build, check,
// save and read back than anything else the fuzzer tries: the import's bar limit is exercised at
// a smaller value, so that every input stays quick and every song is saved and read back.
constexpr int kFuzzMaxBars = 1024;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "text tab fuzzer: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  ImportResult result =
      ImportTextTab(std::string_view(reinterpret_cast<const char*>(data), size), kFuzzMaxBars);
  for (const auto& warning : result.Warnings) Check(!warning.empty(), "empty warning");
  if (!result.Document) {
    Check(result.Error == kNoDrumTabMessage, "refused without the message");
    return 0;
  }
  const Osnova& doc = *result.Document;
  Check(doc.BarCount >= 1 && doc.BarCount <= kFuzzMaxBars && doc.Bars.size() == doc.BarCount,
        "bar count");
  Check(doc.Numerator >= 1 && doc.Numerator <= 16, "numerator");
  Check(doc.Tempo >= 1 && doc.Tempo <= kMaxTempo, "tempo");
  for (const auto* text :
       {&doc.Artist, &doc.Song, &doc.Album, &doc.Drummer, &doc.TabAuthor, &doc.Email})
    Check(text->size() <= kInfoTextLength, "text length");
  int32_t previous = -1;
  for (const auto& part : doc.SongParts) {
    Check(part.StartBar > previous && part.StartBar < doc.BarCount, "song part start");
    Check(!part.Name.empty() && part.Name.size() <= kPartNameLength, "song part name");
    previous = part.StartBar;
  }
  for (std::size_t i = 0; i < doc.Bars.size(); ++i) {
    const TBar& bar = *doc.Bars[i];
    Check(bar.Length >= 1 && bar.Length <= kMaxPositions, "bar length");
    Check(DenominatorIndex(bar.Denominator) != 255, "denominator");
    Check(bar.Comment.size() <= bar.Length, "comment longer than its bar");
    Check(bar.Rows[RowCount].Notes == 0, "notes on the counting line");
    for (int r = RowCymbals; r <= RowBass; ++r) {
      const TNoteRow& row = bar.Rows[static_cast<std::size_t>(r)];
      Check(bar.Length == 64 || (row.Notes >> bar.Length) == 0, "note beyond the bar");
      for (uint64_t notes = row.Notes; notes != 0; notes &= notes - 1) {
        TNoteCell cell = row.Cells[static_cast<std::size_t>(std::countr_zero(notes))];
        Check(!(cell.Ghost && cell.Accent) && StyleFitsRow(r, static_cast<NoteStyle>(cell.Style)),
              "a ghost note or articulation the row cannot take");
        // The rest travels in the bar blocks.
        cell.Ghost = 0;
        cell.Style = 0;
        Check(cell == LetterToCell(r, static_cast<uint8_t>(NoteLetter(r, cell.Variant, cell.Accent))),
              "a note the tab file cannot keep");
      }
    }
  }
  const std::string saved = WriteTabBytes(doc);
  auto again = ReadTabBytes(saved);
  Check(again != nullptr, "saved document refused");
  Check(WriteTabBytes(*again) == saved, "save, load, save changed the bytes");
  return 0;
}
