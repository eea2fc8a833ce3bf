// Where the program keeps its own files, after the XDG base directory rules: settings under
// $XDG_CONFIG_HOME (default ~/.config), state such as recovery copies under $XDG_STATE_HOME
// (default ~/.local/state). A variable that is unset, empty or not an absolute path is ignored.
#pragma once

#include <string>

std::string ConfigFolder();  // .../grooveloom
std::string StateFolder();   // .../grooveloom

// Looks for a file the program ships (help.html) beside the program, then where an install puts
// it: ../share/grooveloom/ from the program's folder. Empty when neither exists.
std::string FindProgramFile(const std::string& programFolder, const std::string& name);
