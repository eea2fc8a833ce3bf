#include "files/recent_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/atomic_file.h"
#include "common/xdg_folders.h"

namespace {

bool Acceptable(const std::string& path) {
  return !path.empty() && path.front() == '/' && path.find('\n') == std::string::npos &&
         path.find('\r') == std::string::npos;
}

}  // namespace

void RecentFiles::Add(const std::string& path) {
  if (!Acceptable(path)) return;
  std::erase(paths_, path);
  paths_.insert(paths_.begin(), path);
  if (paths_.size() > kRecentFilesMax) paths_.resize(kRecentFilesMax);
}

bool RecentFiles::Remove(const std::string& path) { return std::erase(paths_, path) > 0; }

bool RecentFiles::Load(const std::string& file, std::string& error) {
  paths_.clear();
  std::string bytes;
  if (!ReadWholeFile(file, bytes, error)) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec) && !ec) return true;  // nothing remembered yet
    return false;
  }
  std::istringstream lines(bytes);
  for (std::string line; std::getline(lines, line) && paths_.size() < kRecentFilesMax;) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Acceptable(line) && std::find(paths_.begin(), paths_.end(), line) == paths_.end())
      paths_.push_back(line);
  }
  return true;
}

bool RecentFiles::Save(const std::string& file, std::string& error) const {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
  if (ec) {
    error = ec.message();
    return false;
  }
  std::string bytes;
  for (const std::string& path : paths_) bytes += path + '\n';
  return WriteFileAtomically(file, bytes, error);
}

std::string RecentFilesPath() { return ConfigFolder() + "/recent-files"; }
