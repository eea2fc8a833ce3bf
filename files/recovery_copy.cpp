#include "files/recovery_copy.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/atomic_file.h"
#include "common/input_file.h"
#include "common/xdg_folders.h"
#include "files/tab_file.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kInfoHeader = "grooveloom-recovery 1";

std::string ReadFirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string CurrentBootId() { return ReadFirstLine("/proc/sys/kernel/random/boot_id"); }

// Field 22 of /proc/<pid>/stat; 0 when the process does not exist. The command name (field 2) may
// hold blanks and parentheses, so counting starts after its last ')'.
uint64_t StartTimeOf(int64_t pid) {
  const std::string stat = ReadFirstLine("/proc/" + std::to_string(pid) + "/stat");
  const auto close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  for (int n = 3; n <= 22 && fields >> field; ++n)
    if (n == 22) return std::stoull(field);
  return 0;
}

// A line break in a path would end the field early: '\' and line breaks are escaped.
std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

std::string Unescape(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      out += s[i + 1] == 'n' ? '\n' : s[i + 1];
      ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

template <class T>
bool ParseNumber(std::string_view text, T& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::string FormatRecoveryInfo(const RecoveryInfo& info) {
  std::string text(kInfoHeader);
  text += "\noriginal=" + Escape(info.Original) + "\npid=" + std::to_string(info.Pid) +
          "\nstart=" + std::to_string(info.StartTime) + "\nboot=" + info.BootId + "\n";
  return text;
}

std::optional<RecoveryInfo> ParseRecoveryInfo(std::string_view text) {
  RecoveryInfo info;
  bool header = false, pid = false;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (!header) {
      if (line != kInfoHeader) return std::nullopt;
      header = true;
      continue;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "original") info.Original = Unescape(value);
    else if (key == "pid") pid = ParseNumber(value, info.Pid) && info.Pid > 0;
    else if (key == "start" && !ParseNumber(value, info.StartTime)) return std::nullopt;
    else if (key == "boot") info.BootId = std::string(value);
  }
  if (!header || !pid) return std::nullopt;
  return info;
}

RecoveryInfo ThisProcess() {
  RecoveryInfo info;
  info.Pid = ::getpid();
  info.StartTime = StartTimeOf(info.Pid);
  info.BootId = CurrentBootId();
  return info;
}

bool ProcessRunning(const RecoveryInfo& info) {
  if (!info.BootId.empty() && info.BootId != CurrentBootId()) return false;
  const uint64_t start = StartTimeOf(info.Pid);
  if (start == 0) return false;
  return info.StartTime == 0 || info.StartTime == start;
}

std::string RecoveryFolder() { return StateFolder() + "/recovery"; }

std::vector<AbandonedCopy> FindAbandonedCopies(const std::string& folder) {
  std::vector<AbandonedCopy> copies;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
    if (entry.path().extension() != ".info") continue;
    AbandonedCopy copy;
    copy.InfoPath = entry.path().string();
    copy.TabPath = fs::path(entry.path()).replace_extension(".gvlm").string();
    std::string text, error;
    if (!ReadWholeFile(copy.InfoPath, text, error)) continue;
    const std::optional<RecoveryInfo> info = ParseRecoveryInfo(text);
    if (!info || ProcessRunning(*info)) continue;
    copy.Info = *info;
    std::error_code timeError;
    const auto written = fs::last_write_time(copy.TabPath, timeError);
    if (timeError) {
      fs::remove(copy.InfoPath, timeError);  // the copy itself never got written
      continue;
    }
    copy.WrittenAt = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::file_clock::to_sys(written).time_since_epoch())
                         .count();
    copies.push_back(std::move(copy));
  }
  std::sort(copies.begin(), copies.end(),
            [](const AbandonedCopy& a, const AbandonedCopy& b) { return a.WrittenAt > b.WrittenAt; });
  return copies;
}

void DeleteCopy(const AbandonedCopy& copy) {
  std::error_code ec;
  fs::remove(copy.TabPath, ec);
  fs::remove(copy.InfoPath, ec);
}

bool CopyIsReadable(const AbandonedCopy& copy, std::string& error) {
  // Read aside: the check must not set the kit in use as opening a song does.
  InputFile file;
  if (!file.Open(copy.TabPath, error)) return false;
  if (!ReadTabStream(file)) {
    error = kDamagedTabFileMessage;
    return false;
  }
  return true;
}

std::string SetDamagedCopyAside(const AbandonedCopy& copy, std::string& error) {
  const fs::path folder = fs::path(copy.TabPath).parent_path() / "damaged";
  if (!MakeFolders(folder.string(), true, error)) return {};
  const fs::path tab = folder / fs::path(copy.TabPath).filename();
  std::error_code ec;
  fs::rename(copy.TabPath, tab, ec);
  if (ec) {
    error = ec.message();
    return {};
  }
  fs::rename(copy.InfoPath, folder / fs::path(copy.InfoPath).filename(), ec);
  if (ec) fs::remove(copy.InfoPath, ec);  // without its copy it would only be tidied up later
  return tab.string();
}

std::optional<AbandonedCopy> FindAbandonedCopy(const std::string& folder, const std::string& tabPath) {
  for (AbandonedCopy& copy : FindAbandonedCopies(folder)) {
    std::error_code ec;
    if (fs::equivalent(copy.TabPath, tabPath, ec)) return std::move(copy);
  }
  return std::nullopt;
}

// --- The writer.

namespace {
std::string BaseName(const RecoveryInfo& self) {
  return std::to_string(self.Pid) + "-" + std::to_string(self.StartTime);
}
}  // namespace

RecoveryWriter::RecoveryWriter(std::string folder, FailureHandler onFailure)
    : folder_(std::move(folder)),
      self_(ThisProcess()),
      tabPath_(folder_ + "/" + BaseName(self_) + ".gvlm"),
      infoPath_(folder_ + "/" + BaseName(self_) + ".info"),
      onFailure_(std::move(onFailure)),
      thread_([this] { Run(); }) {}

RecoveryWriter::~RecoveryWriter() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void RecoveryWriter::Write(std::string bytes, std::string original) {
  {
    std::lock_guard lock(mutex_);
    pending_ = Job{false, std::move(bytes), std::move(original)};
  }
  wake_.notify_all();
}

void RecoveryWriter::Remove() {
  {
    std::lock_guard lock(mutex_);
    pending_ = Job{true, {}, {}};
  }
  wake_.notify_all();
}

void RecoveryWriter::WaitIdle() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return !pending_ && !busy_; });
}

void RecoveryWriter::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return pending_ || stopping_; });
    if (!pending_) break;  // stopping with nothing left to do
    Job job = std::move(*pending_);
    pending_.reset();
    busy_ = true;
    lock.unlock();
    Perform(job);
    lock.lock();
    busy_ = false;
    if (!pending_) idle_.notify_all();
  }
}

void RecoveryWriter::Perform(Job& job) {
  std::error_code ec;
  if (job.Remove) {
    // The copy goes first: a companion without a copy is only tidied up at the next start.
    fs::remove(tabPath_, ec);
    fs::remove(infoPath_, ec);
    infoOnDisk_.clear();
    return;
  }
  std::string error;
  if (!MakeFolders(folder_, true, error)) {
    if (onFailure_) onFailure_(error);
    return;
  }
  // The companion before the copy, so that a copy is never found without its original's name.
  RecoveryInfo info = self_;
  info.Original = std::move(job.Original);
  std::string infoText = FormatRecoveryInfo(info);
  if (infoText != infoOnDisk_) {
    if (!WriteFileAtomically(infoPath_, infoText, error, true)) {
      if (onFailure_) onFailure_(error);
      return;
    }
    infoOnDisk_ = std::move(infoText);
  }
  if (!WriteFileAtomically(tabPath_, job.Bytes, error, true) && onFailure_) onFailure_(error);
}
