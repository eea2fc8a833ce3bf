// The Recent Files list: the last songs opened or saved, most recent first, as absolute paths. It
// lives in a file of its own in the configuration folder, one path a line, and is read again
// before every change so that two running copies of the program do not undo each other's entries.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

inline constexpr std::size_t kRecentFilesMax = 8;

class RecentFiles {
 public:
  const std::vector<std::string>& Paths() const { return paths_; }

  // Puts an absolute path first (moving it up when listed already) and drops what falls past
  // the eighth. Anything else (a relative path, a line break in it) is ignored.
  void Add(const std::string& path);
  bool Remove(const std::string& path);

  // A missing file is an empty list. Lines that are not absolute paths, repeats and anything past
  // the eighth are dropped.
  bool Load(const std::string& file, std::string& error);
  // Written atomically; the folder is created when needed.
  bool Save(const std::string& file, std::string& error) const;

 private:
  std::vector<std::string> paths_;
};

// ConfigFolder()/recent-files.
std::string RecentFilesPath();
