// Who makes Grooveloom and where to find it: shown in the About box and written by the HTML export.
#pragma once

#include "program_version.h"  // generated: the project's version and the desktop entry's name

inline constexpr const char* kProgramName = "Grooveloom";
inline constexpr const char* kProgramVersion = GROOVELOOM_VERSION;
// "Grooveloom 1.0": the main window's title, the credit of the exports, the PDF's creator.
inline constexpr const char* kProgramNameAndVersion = "Grooveloom " GROOVELOOM_VERSION;
// The desktop entry's name without ".desktop", which the window class and icon follow.
inline constexpr const char* kDesktopId = GROOVELOOM_APP_ID;
inline constexpr const char* kProgramAuthor = "The Grooveloom developers";
inline constexpr const char* kProjectPage = "https://grooveloom.org/";
inline constexpr const char* kContactAddress = "team@grooveloom.org";
