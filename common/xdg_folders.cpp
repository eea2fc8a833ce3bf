#include "common/xdg_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home == '/') return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

std::string BaseFolder(const char* variable, const char* fallbackBelowHome) {
  if (const char* value = std::getenv(variable); value && *value == '/') return value;
  return HomeFolder() + "/" + fallbackBelowHome;
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
