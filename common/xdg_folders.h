// Where the program keeps its own files, after the XDG base directory rules: settings under
// $XDG_CONFIG_HOME (default ~/.config), state such as recovery copies under $XDG_STATE_HOME
// (default ~/.local/state). A variable that is unset, empty or not an absolute path is ignored.
#pragma once

#include <string>

std::string ConfigFolder();  // .../grooveloom
std::string StateFolder();   // .../grooveloom

// mkdir -p: creates `folder` and the folders above it that are missing. `ownerOnly`: each one
// created 0700, as the XDG rules ask, and `folder` itself made 0700 if it existed wider (for the
// user's unsaved work); otherwise the usual 0777 & ~umask. False with the reason in `error`.
bool MakeFolders(const std::string& folder, bool ownerOnly, std::string& error);

// Looks for a file the program ships (help.html) beside the program, then where an install puts
// it: ../share/grooveloom/ from the program's folder. Empty when neither exists.
std::string FindProgramFile(const std::string& programFolder, const std::string& name);
