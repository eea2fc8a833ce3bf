#include "common/xdg_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home == '/') return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

// An unset, empty or relative value counts as unset, as the XDG rules say.
std::string BaseFolder(const char* variable, const char* fallbackBelowHome) {
  std::string base;
  if (const char* value = std::getenv(variable); value && *value == '/')
    base = value;
  else
    base = HomeFolder() + "/" + fallbackBelowHome;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base;
}

}  // namespace

std::string ConfigFolder() { return BaseFolder("XDG_CONFIG_HOME", ".config") + "/grooveloom"; }
std::string StateFolder() { return BaseFolder("XDG_STATE_HOME", ".local/state") + "/grooveloom"; }

std::string FindProgramFile(const std::string& programFolder, const std::string& name) {
  namespace fs = std::filesystem;
  for (const fs::path& candidate :
       {fs::path(programFolder) / name, fs::path(programFolder) / ".." / "share" / "grooveloom" / name}) {
    std::error_code ec;
    if (fs::is_regular_file(candidate, ec)) return candidate.lexically_normal().string();
  }
  return {};
}

bool MakeFolders(const std::string& folder, bool ownerOnly, std::string& error) {
  const mode_t mode = ownerOnly ? 0700 : 0777;
  std::size_t pos = 0;
  while (pos != std::string::npos) {
    pos = folder.find('/', pos + 1);
    const std::string part = folder.substr(0, pos);
    if (part.empty()) continue;
    if (::mkdir(part.c_str(), mode) != 0 && errno != EEXIST) {
      error = std::strerror(errno);
      return false;
    }
  }
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    error = std::strerror(ENOTDIR);
    return false;
  }
  if (ownerOnly && (st.st_mode & 077) != 0 && st.st_uid == ::geteuid()) ::chmod(folder.c_str(), 0700);
  return true;
}
