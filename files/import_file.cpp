#include "files/import_file.h"

#include <algorithm>
#include <cctype>

#include "common/atomic_file.h"
#include "files/text_tab_import.h"
#include "midi/midi_to_tab.h"

ImportKind ImportKindOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return ImportKind::None;
  std::string ext = path.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == ".txt" || ext == ".tab") return ImportKind::TextTab;
  if (ext == ".mid" || ext == ".midi") return ImportKind::Midi;
  return ImportKind::None;
}

ImportResult ImportFile(const std::string& path, int midiChannel, const ProgramSettings& settings) {
  std::string bytes, error;
  if (!ReadWholeFile(path, bytes, error)) {
    ImportResult result;
    result.Error = "Cannot open \"" + path + "\": " + error + ".";
    return result;
  }
  if (ImportKindOf(path) != ImportKind::Midi) return ImportTextTab(bytes, kMaxBarCount, settings);
  ImportResult result = ImportMidiFile(bytes, midiChannel);
  if (result.Document) settings.StartSong(*result.Document);  // a MIDI file names no author
  return result;
}
