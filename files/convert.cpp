#include "files/convert.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "files/tab_export.h"
#include "files/import_file.h"
#include "files/musicxml_export.h"
#include "files/tab_file.h"
#include "midi/midi_to_tab.h"
#include "midi/tab_midi_file.h"
#include "model/timing_boxes.h"

namespace {

// Writes `doc` to `path`; false with the system's reason in `error`. Writers must be atomic.
using FormatWriter = bool (*)(Osnova& doc, const std::string& path, std::string& error);

struct OutputFormat {
  const char* Extension;  // lower case, with the dot
  FormatWriter Write;
};

bool WriteText(Osnova& doc, const std::string& path, std::string& error) {
  return ExportText(doc, path, BoxesAfterOpen(doc), error);
}

bool WriteHtml(Osnova& doc, const std::string& path, std::string& error) {
  return ExportHtml(doc, path, BoxesAfterOpen(doc), error);
}

// What the "MIDI Demo" window's "Save MIDI file" writes after one export of the document, written
// without the window's event list, which a long song would not fit in memory.
bool WriteMidi(Osnova& doc, const std::string& path, std::string& error) {
  return ExportTabMidiFile(doc.Bars, doc.Tempo, path, error, doc.Swing);
}

bool WriteMusicXml(Osnova& doc, const std::string& path, std::string& error) {
  return ExportMusicXml(doc, path, error);
}

bool WriteMusicXmlContainer(Osnova& doc, const std::string& path, std::string& error) {
  return ExportMusicXmlContainer(doc, path, error);
}

// One line per format.
constexpr OutputFormat kFormats[] = {
    {".gvlm", SaveToTabFile}, {".tab", WriteText}, {".txt", WriteText},
    {".html", WriteHtml},     {".htm", WriteHtml}, {".mid", WriteMidi},
    {".musicxml", WriteMusicXml}, {".mxl", WriteMusicXmlContainer},
};

std::string LowerExtension(const std::string& path) {
  auto slash = path.find_last_of('/');
  auto dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = path.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

std::vector<std::pair<std::string, ConversionWriter>>& AddedFormats() {
  static std::vector<std::pair<std::string, ConversionWriter>> formats;
  return formats;
}

}  // namespace

// Bar 0's timing as the window's boxes show it (an empty box where the box cannot show it).
ExportBoxes BoxesAfterOpen(const Osnova& doc) {
  const TBar& first = doc.Bar(0);
  return {NumeratorBoxText(first), DenominatorBoxText(first), std::to_string(doc.Tempo)};
}

void AddConversionFormat(const std::string& extension, ConversionWriter write) {
  AddedFormats().emplace_back(extension, std::move(write));
}

std::vector<std::string> ConversionExtensions() {
  std::vector<std::string> list;
  for (const auto& format : kFormats) list.emplace_back(format.Extension);
  for (const auto& format : AddedFormats()) list.push_back(format.first);
  return list;
}

int ConvertTabFile(const std::string& in, const std::string& out, std::string& message) {
  std::vector<std::string> warnings;
  return ConvertFile(in, out, kDefaultDrumChannel, message, warnings);
}

int ConvertFile(const std::string& in, const std::string& out, int midiChannel,
                std::string& message, std::vector<std::string>& warnings) {
  message.clear();
  warnings.clear();
  const std::string ext = LowerExtension(out);
  auto format = std::find_if(std::begin(kFormats), std::end(kFormats),
                             [&](const OutputFormat& f) { return ext == f.Extension; });
  ConversionWriter write;
  if (format != std::end(kFormats)) {
    write = format->Write;
  } else {
    for (const auto& added : AddedFormats())
      if (ext == added.first) write = added.second;
  }
  if (!write) {
    message = "Unknown output format for \"" + out + "\". Known extensions:";
    for (const auto& known : ConversionExtensions()) message += " " + known;
    return 2;
  }
  std::unique_ptr<Osnova> doc;
  if (ImportKindOf(in) != ImportKind::None) {
    ImportResult imported = ImportFile(in, midiChannel);
    warnings = std::move(imported.Warnings);
    if (!imported.Document) {
      message = imported.Error;
      return 1;
    }
    doc = std::move(imported.Document);
  } else {
    doc = LoadFromTabFile(in, message);
    if (!doc) return 1;
  }
  std::string error;
  if (!write(*doc, out, error)) {
    message = "Cannot write \"" + out + "\": " + error;
    return 1;
  }
  return 0;
}
