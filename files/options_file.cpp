#include "files/options_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "common/atomic_file.h"
#include "common/xdg_folders.h"
#include "midi/midi_output.h"
#include "layout/key_map.h"

namespace {

constexpr std::string_view kKeyMapHeading = "@Custom KeyMap";
constexpr std::string_view kDrumKitHeading = "@Custom DrumKit";
constexpr std::string_view kDevicePrefix = "@Midi Device = ";

// The file's lines without their CR LF (a bare LF ends a line too).
std::vector<std::string_view> LinesOf(std::string_view bytes) {
  std::vector<std::string_view> lines;
  while (!bytes.empty()) {
    std::size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    bytes.remove_prefix(end + 1);
  }
  return lines;
}

// Decimal digits only, at most `max`.
std::optional<uint64_t> Digits(std::string_view text, uint64_t max) {
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > max) return std::nullopt;
  }
  return value;
}

// A key line: a number after any blanks, ended by a blank or the line's end; the rest is skipped.
std::optional<int> KeyCodeOfLine(std::string_view line) {
  std::size_t start = line.find_first_not_of(" \t");
  if (start == std::string_view::npos) return std::nullopt;
  line.remove_prefix(start);
  std::string_view token = line.substr(0, line.find_first_of(" \t"));
  if (!token.empty() && token.front() == '+') token.remove_prefix(1);
  const auto value = Digits(token, 0x7FFFFFFF);
  if (!value) return std::nullopt;
  return static_cast<int>(*value);
}

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

// mkdir -p; false with the reason in `error`.
bool MakeFolders(const std::string& folder, std::string& error) {
  std::size_t pos = 0;
  while (pos != std::string::npos) {
    pos = folder.find('/', pos + 1);
    const std::string part = folder.substr(0, pos);
    if (part.empty()) continue;
    if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
      error = std::strerror(errno);
      return false;
    }
  }
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    error = std::strerror(ENOTDIR);
    return false;
  }
  return true;
}

}  // namespace

std::string OptionsBytes(const StoredOptions& options) {
  std::string out;
  out.reserve(256);
  auto line = [&out](std::string_view text) {
    out += text;
    out += "\r\n";
  };
  line(kKeyMapHeading);
  for (uint8_t key : options.Keys) line(std::to_string(key));
  line(kDrumKitHeading);
  for (uint8_t flag : options.Kit) line(flag ? "TRUE" : "FALSE");
  line(std::string(kDevicePrefix) + std::to_string(static_cast<uint32_t>(options.DeviceIndex)));
  return out;
}

std::vector<std::string> ReadOptionsBytes(std::string_view bytes, StoredOptions& options) {
  const std::vector<std::string_view> lines = LinesOf(bytes);
  std::vector<std::string> warnings;
  std::size_t next = 0;
  // The next line, or nothing once the file has ended.
  auto take = [&]() -> std::optional<std::string_view> {
    if (next >= lines.size()) return std::nullopt;
    return lines[next++];
  };
  auto heading = [&](std::string_view expected) {
    const auto line = take();
    if (!line || *line != expected) warnings.emplace_back(kOptionsCorruptedWarning);
  };

  heading(kKeyMapHeading);
  for (uint8_t& key : options.Keys) {
    const auto line = take();
    if (!line) continue;
    const auto code = KeyCodeOfLine(*line);
    if (code && IsAcceptedKeyCode(*code)) key = static_cast<uint8_t>(*code);
  }
  heading(kDrumKitHeading);
  for (uint8_t& flag : options.Kit) {
    const auto line = take();
    if (!line) continue;
    flag = UpperAscii(*line) == "FALSE" ? 0 : 1;
  }
  if (const auto line = take()) {
    // Whatever precedes the "=" is not compared; the one character after it is the blank.
    const std::size_t equals = line->find('=');
    if (equals != std::string_view::npos && equals + 2 <= line->size()) {
      if (const auto id = Digits(line->substr(equals + 2), 0xFFFFFFFFu))
        options.DeviceIndex = static_cast<int32_t>(static_cast<uint32_t>(*id));
    }
  }
  return warnings;
}

std::string OptionsFolder() { return ConfigFolder(); }

std::string OptionsFilePath() { return OptionsFolder() + "/" + kOptionsFileName; }

StoredOptions CurrentOptions() {
  StoredOptions options;
  options.Keys = KeyMap;
  options.Kit = GlobalKit;
  options.DeviceIndex = MidiDeviceIndex;
  return options;
}

void ApplyOptions(const StoredOptions& options) {
  KeyMap = options.Keys;
  GlobalKit = options.Kit;
  MidiDeviceIndex = options.DeviceIndex;
}

bool SaveOptions(std::string& error) {
  const std::string path = OptionsFilePath();
  std::string reason;
  if (!MakeFolders(OptionsFolder(), reason) ||
      !WriteFileAtomically(path, OptionsBytes(CurrentOptions()), reason)) {
    error = "Cannot save the options to \"" + path + "\": " + reason;
    return false;
  }
  return true;
}

OptionsLoad LoadOptions() {
  OptionsLoad result;
  const std::string path = OptionsFilePath();
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) {
    result.CreatedDefault = SaveOptions(result.Error);
    return result;
  }
  std::string bytes;
  std::string reason;
  if (!ReadWholeFile(path, bytes, reason)) {
    result.Error = "Cannot read the options from \"" + path + "\": " + reason;
    return result;
  }
  StoredOptions options = CurrentOptions();
  result.Warnings = ReadOptionsBytes(bytes, options);
  ApplyOptions(options);
  return result;
}
