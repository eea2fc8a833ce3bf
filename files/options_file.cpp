#include "files/options_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "common/atomic_file.h"
#include "common/xdg_folders.h"
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

// What this process last read from the file or wrote to it; nothing before the first load.
std::optional<StoredOptions> gStored;

enum class ReadResult { Read, Missing, NotRegular, Failed };

// At most kOptionsReadLimit bytes of the file. Opened without waiting, so a FIFO under the name
// cannot hold up start-up, and refused unless it is a regular file.
ReadResult ReadOptionsFile(const std::string& path, std::string& bytes, std::string& reason) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    reason = std::strerror(errno);
    return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return ReadResult::NotRegular;
  }
  bytes.assign(kOptionsReadLimit, '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      reason = std::strerror(errno);
      ::close(fd);
      return ReadResult::Failed;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  bytes.resize(got);
  return ReadResult::Read;
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

bool SaveOptions(const StoredOptions& current, std::string& error) {
  const std::string path = OptionsFilePath();
  StoredOptions merged = current;
  std::string bytes, reason;
  const ReadResult read = ReadOptionsFile(path, bytes, reason);
  if (read == ReadResult::NotRegular) {
    error = "Cannot save the options to \"" + path + "\": it is not a regular file";
    return false;
  }
  if (gStored && read == ReadResult::Read) {
    // What the file holds now, read over what it held, for the settings left alone here.
    StoredOptions onDisk = *gStored;
    ReadOptionsBytes(bytes, onDisk);
    if (current.Keys == gStored->Keys) merged.Keys = onDisk.Keys;
    if (current.Kit == gStored->Kit) merged.Kit = onDisk.Kit;
    if (current.DeviceIndex == gStored->DeviceIndex) merged.DeviceIndex = onDisk.DeviceIndex;
  }
  if (!MakeFolders(OptionsFolder(), false, reason) ||
      !WriteFileAtomically(path, OptionsBytes(merged), reason)) {
    error = "Cannot save the options to \"" + path + "\": " + reason;
    return false;
  }
  gStored = current;
  return true;
}

void ForgetStoredOptions() { gStored.reset(); }

OptionsLoad LoadOptions(StoredOptions& options) {
  OptionsLoad result;
  const std::string path = OptionsFilePath();
  std::string bytes;
  std::string reason;
  switch (ReadOptionsFile(path, bytes, reason)) {
    case ReadResult::Missing:
      result.CreatedDefault = SaveOptions(options, result.Error);
      return result;
    case ReadResult::NotRegular:
      result.Warnings.emplace_back(kOptionsCorruptedWarning);
      return result;
    case ReadResult::Failed:
      result.Error = "Cannot read the options from \"" + path + "\": " + reason;
      return result;
    case ReadResult::Read: break;
  }
  result.Warnings = ReadOptionsBytes(bytes, options);
  gStored = options;
  return result;
}
