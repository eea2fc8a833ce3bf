// The options file "options.xgl": the key map, the drum kit and the MIDI device between runs.
// 26 lines ending CR LF: "@Custom KeyMap", 14 key codes, "@Custom DrumKit", 9 "TRUE"/"FALSE",
// "@Midi Device = " and the device id as an unsigned number (4294967295 = the mapper).
//
// It lives in the user's configuration folder, $XDG_CONFIG_HOME/grooveloom/options.xgl
// (~/.config/grooveloom/options.xgl when the variable is unset), not in whatever folder the program
// was started from. Qt-free; the window shows the messages these return.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/tab_document.h"

inline constexpr const char* kOptionsFileName = "options.xgl";
inline constexpr const char* kOptionsCorruptedWarning =
    "The file \"options.xgl\" may be corrupted. If you register any problems, set your options to "
    "default(or simply delete the \"options.xgl\" file).";

// The settings the file stores; the program keeps them in ProgramSettings
// (ui/options_messages.h moves them between the two).
struct StoredOptions {
  std::array<uint8_t, 14> Keys{};
  std::array<uint8_t, kRowCount> Kit{};
  int32_t DeviceIndex = 0;
  bool operator==(const StoredOptions&) const = default;
};

// The whole file for these settings.
std::string OptionsBytes(const StoredOptions& options);

// Reads a file's bytes over `options`. A heading that is wrong (or missing) adds
// kOptionsCorruptedWarning once and reading goes on with the next lines. A key code that is not
// accepted, a line without a number, a device number outside 0..4294967295 and lines missing at
// the end leave that setting as it was. Kit lines are compared in upper case; a word other than
// TRUE and FALSE shows the row. Lines after the 26th are ignored.
std::vector<std::string> ReadOptionsBytes(std::string_view bytes, StoredOptions& options);

// $XDG_CONFIG_HOME/grooveloom (a relative or empty value counts as unset, as the XDG rules say),
// else $HOME/.config/grooveloom, else the home folder of the user's account.
std::string OptionsFolder();
std::string OptionsFilePath();  // OptionsFolder() + "/options.xgl"

// Writes `current`, creating the folder when missing. The file is replaced
// atomically: on failure the old file is untouched and `error` names the file and the reason.
// Another running copy of the program may have written the file since this one read it: of the
// three settings (key map, kit, device) only those that have changed here since the last load or
// save are written, the others keep what the file holds now. A file that is not a regular file
// is not written over.
bool SaveOptions(const StoredOptions& current, std::string& error);
// Forgets what was last loaded or saved, so that the next save writes every setting.
void ForgetStoredOptions();

// A valid file is 26 short lines; reading stops after this many bytes, so a huge file costs
// neither time nor memory (the lines after the 26th are ignored anyway).
inline constexpr std::size_t kOptionsReadLimit = 4096;

struct OptionsLoad {
  std::vector<std::string> Warnings;  // the corruption warning, once per wrong heading
  std::string Error;                  // the file could not be read, or the default not written
  bool CreatedDefault = false;        // there was no file: the current settings were written
};
// Reads the file over `options` (the settings in use); when there is none, writes them (SaveOptions)
// instead. Something other than a regular file under the name (a FIFO, a device, a folder) is not
// read: the corruption warning, and the settings stay as they are.
OptionsLoad LoadOptions(StoredOptions& options);
